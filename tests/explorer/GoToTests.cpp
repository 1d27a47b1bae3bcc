// Going to a path in the main window, as the find window's results and the command line do.
#include "MainWindowFixture.h"

#include "GoToPath.h"

TEST_CASE("Go to: a directory in the tree, an object's row selected, focused and in view, a new directory after a Refresh; a failure changes nothing")
{
    Program& p = Shell();
    TestNamespace& ns = Objects();
    p.ResetSort();
    RECT frame = {};
    GetWindowRect(p.window, &frame);
    // A short window: "sem" is then below the rows in view until it is gone to.
    SetWindowPos(p.window, nullptr, 0, 0, 600, 240, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    const std::wstring strasse = L"Dir\\Fresh\\Stra\x00DF" L"e";
    REQUIRE((ns.Directory(L"Dir\\Fresh") >= 0 && ns.Event(L"Dir\\Fresh\\e") >= 0 && ns.Directory(strasse) >= 0 &&
             ns.Event(strasse + L"\\x") >= 0));
    REQUIRE(ns.Build({{Kind::SymbolicLink, L"Dir\\ToClosed", 0, 0, ns.Path(L"Closed")}}) == 0);
    TreeView_SelectItem(p.Tree(), nullptr);
    const std::wstring deeper = ns.Path(L"Dir\\Deeper"), objects = ns.Path(L"Objects");
    const struct { std::wstring path; unsigned status; std::wstring shown; bool refreshed; } steps[] = {
        {L"\\", 0, L"\\", false},
        {ns.Path(L"Dir\\Fresh\\e"), 0, ns.Path(L"Dir\\Fresh") + L"|e*", true},  // new since the tree was built
        // Case ignored as the kernel ignores it: \x00DF is not SS, on the way or at the end.
        {ns.Path(L"Dir\\Fresh\\STRASSE\\x"), 0xC0000034, ns.Path(L"Dir\\Fresh") + L"|e*", true},
        {ns.Path(L"dir\\FRESH\\stra\x00DF" L"E\\X"), 0, ns.Path(strasse) + L"|x*", false},
        {ns.Path(L"Dir\\Fresh\\STRASSE"), 0xC0000034, ns.Path(strasse) + L"|x*", false},
        {ns.Path(L"dir\\DEEPER\\"), 0, deeper, false},  // case ignored as the kernel does; a trailing \ is the directory
        {ns.Path(L"Dir\\Deeper\\nothing"), 0xC0000034, deeper, false}, {ns.Path(L"Dir\\Deeper\\x"), 0, deeper + L"|x*", false},
        {ns.Path(L"Closed\\x"), 0xC0000022, deeper + L"|x*", false},  // the directory's listing is refused
        {L"Device", 0xC000003B, deeper + L"|x*", false}, {L"\\\\", 0xC0000033, deeper + L"|x*", false},
        {ns.Path(L"Dir\\\\Deeper"), 0xC0000033, deeper + L"|x*", false},
        {ns.Path(L"Dir\\ToClosed\\"), 0xC0000022, deeper + L"|x*", false},  // a link whose way is refused
        {ns.Path(L"sem"), 0, ns.Root() + L"|sem*", false},
        {ns.Path(L"Objects\\nothing"), 0xC0000034, ns.Root() + L"|sem*", false},  // tried in another directory
        // A "\" after an object that is no directory, after links to a directory and to nothing.
        {ns.Path(L"Objects\\AnEvent\\"), 0, objects + L"|AnEvent*", false}, {ns.Path(L"link\\"), 0, L"\\Device", false},
        {ns.Path(L"longlink\\"), 0, ns.Root() + L"|longlink*", false},
        {ns.Path(L"Nowhere\\x"), 0xC0000034, ns.Root() + L"|longlink*", true},  // the tree scrolled back after the Refresh
        {ns.Path(L"OBJECTS\\anevent"), 0, objects + L"|AnEvent*", false},
        {ns.Path(L"Objects\\Folder"), 0, objects + L"\\Folder", false},
        {ns.Path(LongDirectory + L"\\" + LongName), 0, ns.Path(LongDirectory) + L"|" + LongName + L"*", false},
        {ns.Path(L"Closed\\sub\\x"), 0xC0000022, ns.Path(LongDirectory) + L"|" + LongName + L"*", true},  // after a Refresh
    };
    // The rows, the list's top row, the tree's top node and its open nodes.
    const auto view = [&] {
        std::wstring shown = ShownIn(p.Tree(), p.List()) + L"|" + std::to_wstring(ListView_GetTopIndex(p.List())) +
                             L"|" + p.PathOf(p.Next(TVGN_FIRSTVISIBLE));
        for (HTREEITEM node : p.Nodes())
            shown += TreeView_GetItemState(p.Tree(), node, TVIS_EXPANDED) & TVIS_EXPANDED ? L";" + p.PathOf(node) : L"";
        return shown;
    };
    for (const auto& step : steps) {
        CAPTURE(Utf8(step.path));
        p.site->commands.clear();
        const std::wstring before = view();
        CHECK(static_cast<unsigned>(GoToObjectPath(step.path.c_str())) == step.status);
        if (step.status)
            CHECK(Utf8(view()) == Utf8(before));
        CHECK(Utf8(ShownIn(p.Tree(), p.List())) == Utf8(step.shown));
        CHECK(p.site->commands == (step.refreshed ? std::vector<WORD>{CMD_REFRESH} : std::vector<WORD>{}));
        const int row = ListView_GetNextItem(p.List(), -1, LVNI_FOCUSED), top = ListView_GetTopIndex(p.List());
        if (step.shown.find(L'|') != std::wstring::npos)  // the row is in view
            CHECK((row >= top && row < top + ListView_GetCountPerPage(p.List())));
    }
    // A new directory named last: its node, after a Refresh; then an object new in the directory shown.
    p.site->commands.clear();
    REQUIRE((ns.Directory(L"Dir\\Newer") >= 0 && GoToObjectPath(ns.Path(L"Dir\\Newer").c_str()) == 0));
    CHECK((ShownIn(p.Tree(), p.List()) == ns.Path(L"Dir\\Newer") && p.site->commands == std::vector<WORD>{CMD_REFRESH}));
    REQUIRE((ns.Event(L"Dir\\Newer\\late") >= 0 && GoToObjectPath(ns.Path(L"Dir\\Newer\\late").c_str()) == 0));
    CHECK(ShownIn(p.Tree(), p.List()) == ns.Path(L"Dir\\Newer") + L"|late*");
    ns.Remove(L"Dir\\Newer\\late"), ns.Remove(L"Dir\\Newer");
    // Gone since the tree was filled, their nodes still there: Properties on the deepest from the tree says so;
    // going to a directory whose parent is gone too, or to one whose parent is there, leaves the root after a Refresh.
    for (const wchar_t* target : {L"Dir\\Newer\\In", L"Dir\\Newer"}) {
        CAPTURE(Utf8(target));
        REQUIRE((ns.Directory(L"Dir\\Newer") >= 0 && ns.Directory(L"Dir\\Newer\\In") >= 0 && ns.Directory(L"Dir\\Newer\\In\\Most") >= 0));
        p.Command(CMD_REFRESH);
        p.SelectNode(ns.Path(L"Dir\\Newer\\In\\Most"));
        for (const wchar_t* gone : {L"Dir\\Newer\\In\\Most", L"Dir\\Newer\\In", L"Dir\\Newer"})
            ns.Remove(gone);
        const modal::Seen seen = modal::Run([&] { p.Command(CMD_PROPERTIES); });
        CHECK((seen.boxes.size() == 1 && Utf8(seen.boxes[0].text) == "オブジェクトが見つかりません。"));
        p.site->commands.clear();
        CHECK(static_cast<unsigned>(GoToObjectPath(ns.Path(target).c_str())) == 0xC0000034);
        CHECK((ShownIn(p.Tree(), p.List()) == L"\\" && p.site->commands == std::vector<WORD>{CMD_REFRESH}));
    }

    // The main window in front, the focus on the list for an object, on the tree for a directory (a failure's
    // box: the command line's case).
    for (auto [path, focus] : {std::pair{ns.Path(L"Objects\\AnEvent"), p.List()}, {ns.Path(L"Objects\\Folder"), p.Tree()}}) {
        SetFocus(nullptr);
        CHECK((GoToObjectPathOrSay(p.window, path.c_str()) && GetFocus() == focus && GetForegroundWindow() == p.window));
    }
    for (const std::wstring& made : {strasse + L"\\x", strasse, std::wstring(L"Dir\\Fresh\\e"), std::wstring(L"Dir\\Fresh"),
                                     std::wstring(L"Dir\\ToClosed")})
        ns.Remove(made);
    p.Command(CMD_REFRESH);
    SetWindowPos(p.window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}
