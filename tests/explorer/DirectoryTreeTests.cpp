#include <doctest.h>

#include <string>
#include <vector>

#include "DirectoryTree.h"
#include "KernelObjects.h"
#include "PaneHost.h"

using namespace panehost;

namespace {

std::vector<std::wstring> Paths(HWND tree)
{
    std::vector<std::wstring> paths;
    for (const Node& node : AllNodes(tree))
        paths.push_back(node.path);
    return paths;
}

}  // namespace

TEST_CASE("Refresh builds the namespace under an expanded, selected root")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"Outer") >= 0);
    REQUIRE(ns.Directory(L"Outer\\Inner") >= 0);
    REQUIRE(ns.Event(L"Outer\\NotADirectory") >= 0);
    PaneHost host;
    HWND tree = host.Tree();

    const std::vector<Node> nodes = AllNodes(tree);
    REQUIRE(nodes.size() > 3);
    const Node& root = nodes[0];
    CHECK(root.label == L"\\");
    CHECK(root.path == L"\\");
    CHECK((root.state & TVIS_EXPANDED) != 0);
    CHECK(Next(tree, TVGN_NEXT, root.item) == nullptr);
    CHECK(Next(tree, TVGN_CARET) == root.item);
    CHECK(LiveTreePaths() == static_cast<long>(nodes.size()));
    for (const Node& node : nodes) {
        CAPTURE(node.path);
        CHECK((node.image == 0 && node.selectedImage == 1));
        HTREEITEM parent = Next(tree, TVGN_PARENT, node.item);
        if (parent) {
            // Item data: the parent's path, a backslash (none after the root) and the label.
            const std::wstring parentPath = NodeOf(tree, parent).path;
            CHECK(node.path == (parentPath == L"\\" ? L"" : parentPath) + L"\\" + node.label);
        }
        HTREEITEM next = Next(tree, TVGN_NEXT, node.item);
        if (next)
            CHECK(lstrcmpiW(node.label.c_str(), NodeOf(tree, next).label.c_str()) <= 0);
    }
    CHECK(FindNode(tree, L"\\Device"));
    CHECK(Next(tree, TVGN_PARENT, FindNode(tree, ns.Path(L"Outer\\Inner"))) == FindNode(tree, ns.Path(L"Outer")));
    CHECK_FALSE(FindNode(tree, ns.Path(L"Outer\\NotADirectory")));

    // A second Refresh, from another selection, gives the same tree and frees the old one.
    Select(tree, FindNode(tree, ns.Path(L"Outer")));
    const std::vector<std::wstring> before = Paths(tree);
    host.Command(40003);
    CHECK(Paths(tree) == before);
    CHECK(LiveTreePaths() == static_cast<long>(before.size()));
    CHECK(Next(tree, TVGN_CARET) == Next(tree, TVGN_ROOT));
    CHECK(host.Status(0) == L"\\");
}

TEST_CASE("Up and IsRootSelected")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"One") >= 0);
    REQUIRE(ns.Directory(L"One\\Two") >= 0);
    REQUIRE(ns.Event(L"One\\Marker") >= 0);
    PaneHost host;
    HWND tree = host.Tree();
    CHECK(IsRootSelected(tree));

    Select(tree, FindNode(tree, ns.Path(L"One\\Two")));
    CHECK_FALSE(IsRootSelected(tree));
    host.Command(40020);
    CHECK(Next(tree, TVGN_CARET) == FindNode(tree, ns.Path(L"One")));
    CHECK(host.Status(0) == ns.Path(L"One"));
    CHECK(FindRow(Rows(host.List()), L"Marker"));

    Select(tree, Next(tree, TVGN_ROOT));
    const std::wstring count = host.Status(1);
    host.Command(40020);
    CHECK(Next(tree, TVGN_CARET) == Next(tree, TVGN_ROOT));
    CHECK(host.Status(1) == count);

    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    CHECK(IsRootSelected(tree));
    host.Command(40020);
    CHECK(Next(tree, TVGN_CARET) == nullptr);
}

TEST_CASE("Inserting nodes: labels, order, cut paths, refusals")
{
    PaneHost host;
    HWND tree = host.Tree();
    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    REQUIRE(LiveTreePaths() == 0);
    TreeTargetWindow = tree;

    HTREEITEM root = InsertDirectoryNode(TVI_ROOT, L"\\");
    CHECK(NodeOf(tree, root).label == L"\\");
    HTREEITEM deep = InsertDirectoryNode(root, L"\\Device\\Harddisk0");
    CHECK(NodeOf(tree, deep).label == L"Harddisk0");
    CHECK(NodeOf(tree, deep).path == L"\\Device\\Harddisk0");
    for (const wchar_t* path : {L"\\beta", L"\\Alpha", L"\\gamma"})
        InsertDirectoryNode(deep, path);
    std::vector<std::wstring> labels;
    for (HTREEITEM child = Next(tree, TVGN_CHILD, deep); child; child = Next(tree, TVGN_NEXT, child))
        labels.push_back(NodeOf(tree, child).label);
    CHECK(labels == std::vector<std::wstring>{L"Alpha", L"beta", L"gamma"});

    // 1100 characters keep their first 1023; the label comes from the cut text.
    const std::wstring longPath = L"\\" + std::wstring(1000, L'a') + L"\\" + std::wstring(98, L'b');
    const Node cut = NodeOf(tree, InsertDirectoryNode(root, longPath.c_str()));
    CHECK(cut.path == longPath.substr(0, 1023));
    CHECK(cut.label == std::wstring(21, L'b'));
    const std::wstring endsAtSeparator = L"\\" + std::wstring(1021, L'a') + L"\\tail";
    CHECK(NodeOf(tree, InsertDirectoryNode(root, endsAtSeparator.c_str())).label == L"\\");
    CHECK(LiveTreePaths() == 7);

    // Refused nodes free their copies at once: no tree, or a parent already gone.
    TreeTargetWindow = nullptr;
    CHECK(InsertDirectoryNode(root, L"\\Lost") == nullptr);
    TreeTargetWindow = tree;
    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(deep));
    CHECK(InsertDirectoryNode(deep, L"\\Device\\Harddisk0\\Gone") == nullptr);
    CHECK(LiveTreePaths() == 3);
}
