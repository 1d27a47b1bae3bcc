#include <doctest.h>

#include "PaneHost.h"

using namespace panehost;

TEST_CASE("Refresh builds the namespace under an expanded, selected root; Up climbs to it")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"Outer") >= 0);
    REQUIRE(ns.Directory(L"Outer\\Inner") >= 0);
    REQUIRE(ns.Event(L"Outer\\NotADirectory") >= 0);
    PaneHost host;
    HWND tree = host.Tree();

    const std::vector<Node> nodes = AllNodes(tree);
    REQUIRE(nodes.size() > 3);
    HTREEITEM root = nodes[0].item;
    CHECK(nodes[0].label == L"\\");
    CHECK(nodes[0].path == L"\\");
    CHECK(SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(root), TVIS_EXPANDED) == TVIS_EXPANDED);
    CHECK(Next(tree, TVGN_NEXT, root) == nullptr);
    CHECK(Next(tree, TVGN_CARET) == root);
    CHECK(IsRootSelected(tree));
    CHECK(LiveTreePaths() == static_cast<long>(nodes.size()));
    for (const Node& node : nodes) {
        CAPTURE(node.path);
        CHECK((node.image == 0 && node.selectedImage == 1));  // the folder, shown open when selected
        if (HTREEITEM parent = Next(tree, TVGN_PARENT, node.item)) {
            // Item data: the parent's path, a backslash (none after the root) and the label.
            const std::wstring parentPath = NodeOf(tree, parent).path;
            CHECK(node.path == (parentPath == L"\\" ? L"" : parentPath) + L"\\" + node.label);
        }
        if (HTREEITEM next = Next(tree, TVGN_NEXT, node.item))
            CHECK(lstrcmpiW(node.label.c_str(), NodeOf(tree, next).label.c_str()) <= 0);
    }
    CHECK(FindNode(tree, L"\\Device"));
    CHECK(Next(tree, TVGN_PARENT, FindNode(tree, ns.Path(L"Outer\\Inner"))) == FindNode(tree, ns.Path(L"Outer")));
    CHECK_FALSE(FindNode(tree, ns.Path(L"Outer\\NotADirectory")));

    host.Show(ns.Path(L"Outer\\Inner"));
    CHECK_FALSE(IsRootSelected(tree));
    host.Command(CMD_UP);
    CHECK(Next(tree, TVGN_CARET) == FindNode(tree, ns.Path(L"Outer")));
    CHECK(host.Status(0) == ns.Path(L"Outer"));
    CHECK(host.Status(1) == L"2個のオブジェクト");
    CHECK(LiveEntryRecords() == 2);  // the rows shown before are freed

    // A second Refresh, from another selection, gives the same tree and frees the old one.
    host.Command(CMD_REFRESH);
    const std::vector<Node> again = AllNodes(tree);
    REQUIRE(again.size() == nodes.size());
    for (size_t i = 0; i < again.size(); ++i)
        CHECK(again[i].path == nodes[i].path);
    CHECK(LiveTreePaths() == static_cast<long>(nodes.size()));
    CHECK(Next(tree, TVGN_CARET) == Next(tree, TVGN_ROOT));
    CHECK(host.Status(0) == L"\\");
    CHECK(LiveEntryRecords() == SendMessageW(host.List(), LVM_GETITEMCOUNT, 0, 0));

    host.Command(CMD_UP);  // on the root: nothing
    CHECK(Next(tree, TVGN_CARET) == Next(tree, TVGN_ROOT));

    // A path of 1100 characters keeps its first 1023; the label comes from the cut text.
    const long paths = LiveTreePaths();
    root = Next(tree, TVGN_ROOT);  // the one the second Refresh made
    const std::wstring longPath = L"\\" + std::wstring(1000, L'a') + L"\\" + std::wstring(98, L'b');
    const Node cut = NodeOf(tree, InsertDirectoryNode(root, longPath.c_str()));
    CHECK(cut.path == longPath.substr(0, 1023));
    CHECK(cut.label == std::wstring(21, L'b'));
    // Refused nodes free their copies at once: under a node already gone, or with no tree.
    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(cut.item));
    CHECK(InsertDirectoryNode(cut.item, L"\\Gone") == nullptr);
    TreeTargetWindow = nullptr;
    CHECK(InsertDirectoryNode(root, L"\\Lost") == nullptr);
    CHECK(LiveTreePaths() == paths);

    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    CHECK(IsRootSelected(tree));
    host.Command(CMD_UP);
    CHECK(Next(tree, TVGN_CARET) == nullptr);
}
