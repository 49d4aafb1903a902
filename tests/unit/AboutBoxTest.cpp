// The About box on a scripted display: what it shows, what closes it, what the host receives meanwhile, and
// the drag by its own title bar.
#include "AboutBox.h"
#include "DialogTestSupport.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

using namespace dialogtest;

namespace {

const Rect cSCREEN = {0, 0, 768, 1024};
// The About box's content, 416 x 160, centred on the screen above.
const Rect cCENTRED = {216, 304, 376, 720};

Point TitleBarOf(const SDialogView& view) {
    return Point{static_cast<int16_t>(view.rcBounds.top - iTITLE_BAR_HEIGHT / 2),
                 static_cast<int16_t>(view.rcBounds.left + 40)};
}

CScriptedDisplay::Step WindowEvent(uint16_t what, uintptr_t window) {
    return [what, window](const SDialogView&) { return MakeEvent(what, window); };
}

CScriptedDisplay::Step OwnWindowEvent(uint16_t what) {
    return [what](const SDialogView& view) {
        return MakeEvent(what, reinterpret_cast<uintptr_t>(WindowOf(view)));
    };
}

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        ResetHost();
        pSPBasic = BasicSuite();
    }
    void TearDown() override {
        rUIHooks.Unload();
        pSPBasic = nullptr;
        EXPECT_EQ(CountDialogs(), 0u);
        EXPECT_EQ(CountLoadedResources(), 0u);
    }
    int16_t Show() {
        AboutRecord about{nullptr, pSPBasic};
        return ShowAboutDlg(&about);
    }
    std::vector<uint16_t> HostEventKinds() const {
        std::vector<uint16_t> kinds;
        for (const EventRecord& event : HostEvents()) {
            kinds.push_back(event.what);
        }
        return kinds;
    }

    CScriptedDisplay display{cSCREEN};
};

TEST_F(AboutBox, ShowsItsTextCentredWithOneDefaultButton) {
    display.Add(Key(kReturnCharCode));
    EXPECT_EQ(Show(), 0);
    const SDialogView& view = display.last;
    EXPECT_EQ(view.strTitle, "About Quenfield Export");
    EXPECT_EQ(view.rcBounds.top, cCENTRED.top);
    EXPECT_EQ(view.rcBounds.left, cCENTRED.left);
    ASSERT_EQ(view.aItems.size(), 2u);
    EXPECT_EQ(view.aItems[0].eKind, eITEM_BUTTON);
    EXPECT_TRUE(view.aItems[0].bDefault);
    EXPECT_EQ(view.aItems[1].strText.rfind("Quenfield Export " QUENFIELD_VERSION "\n", 0), 0u)
        << view.aItems[1].strText;
    EXPECT_NE(view.aItems[1].strText.find("PPM or PFM"), std::string::npos);
}

TEST_F(AboutBox, ReturnEnterAndEscapeCloseIt) {
    for (unsigned char key : {kReturnCharCode, kEnterCharCode, kEscapeCharCode}) {
        CScriptedDisplay keys{cSCREEN};
        keys.Add(Key('x'));
        keys.Add(Key(key));
        keys.Add(Key('!'));
        EXPECT_EQ(Show(), 0);
        EXPECT_EQ(keys.Remaining(), 1u) << "key " << int(key);
        EXPECT_EQ(keys.exhausted, 0);
    }
}

TEST_F(AboutBox, TheButtonClosesItAndOtherItemsKeepItOpen) {
    const auto text = [](const SDialogView& view) { return Center(view.aItems[1].rcBounds); };
    const auto button = [](const SDialogView& view) { return Center(view.aItems[0].rcBounds); };
    display.Add(Mouse(mouseDown, text));
    display.Add(Mouse(mouseDown, text));
    display.Add(Mouse(mouseDown, button));
    display.Add(Key('!'));
    EXPECT_EQ(Show(), 0);
    EXPECT_EQ(display.Remaining(), 1u);
}

TEST_F(AboutBox, OneRunEndsWithTheItemClicked) {
    display.Add(Mouse(mouseDown, [](const SDialogView& view) { return Center(view.aItems[1].rcBounds); }));
    DialogRef dialog = GetNewDialog(sDIALOG_ABOUT, nullptr, pFRONT_OF_ALL_WINDOWS);
    int16_t item = -1;
    MoveableModalAboutDlg(dialog, RecordEvent, &item);
    EXPECT_EQ(item, 2);
    EXPECT_EQ(GetWRefCon(GetDialogWindow(dialog)), nullptr) << "reference constant not given back";
    DisposeDialog(dialog);
}

TEST_F(AboutBox, TheHostGetsNullEventsAndItsOwnWindowsEventsOnly) {
    const uintptr_t hostWindow = 0x1234;
    display.Add(Null());
    display.Add(WindowEvent(updateEvt, hostWindow));
    display.Add(WindowEvent(activateEvt, hostWindow));
    display.Add(OwnWindowEvent(updateEvt));
    display.Add(OwnWindowEvent(activateEvt));
    display.Add(Key('x'));
    display.Add(Null());
    display.Add(Key(kEscapeCharCode));
    EXPECT_EQ(Show(), 0);
    EXPECT_EQ(HostEventKinds(), (std::vector<uint16_t>{nullEvent, updateEvt, activateEvt, nullEvent}));
    EXPECT_EQ(HostEvents()[1].message, hostWindow);
    EXPECT_EQ(host::suites::Acquired(), 1);
}

TEST_F(AboutBox, DragsByItsTitleBarWithinTheDesktop) {
    display.Add(Mouse(mouseDown, TitleBarOf));
    display.Add(Mouse(mouseUp, [](const SDialogView& view) {
        Point p = TitleBarOf(view);
        return Point{static_cast<int16_t>(p.v + 30), static_cast<int16_t>(p.h - 50)};
    }));
    display.Add(Mouse(mouseDown, TitleBarOf));
    display.Add(Mouse(mouseUp, [](const SDialogView&) { return Point{-100, 5000}; }));
    display.Add(Null());
    display.Add(Key(kReturnCharCode));
    display.Add(Key('!'));
    // The second drag's point is held 4 pixels inside the screen.
    const Point grabbed = {static_cast<int16_t>(cCENTRED.top + 30 - iTITLE_BAR_HEIGHT / 2),
                           static_cast<int16_t>(cCENTRED.left - 50 + 40)};
    EXPECT_EQ(Show(), 0);
    EXPECT_EQ(display.Remaining(), 1u);
    EXPECT_EQ(display.last.rcBounds.top, cCENTRED.top + 30 + (4 - grabbed.v));
    EXPECT_EQ(display.last.rcBounds.left, cCENTRED.left - 50 + (1019 - grabbed.h));
    EXPECT_EQ(HostEventKinds(), (std::vector<uint16_t>{nullEvent})) << "the clicks reached the host";
}

TEST_F(AboutBox, FollowsTheMouseWhileItsTitleBarIsDragged) {
    const Point grab = {static_cast<int16_t>(cCENTRED.top - iTITLE_BAR_HEIGHT / 2),
                        static_cast<int16_t>(cCENTRED.left + 40)};
    const Point moved = {static_cast<int16_t>(grab.v + 10), static_cast<int16_t>(grab.h + 20)};
    Rect shownWhileHeld{};
    display.Add(Mouse(mouseDown, [grab](const SDialogView&) { return grab; }));
    display.Add(Mouse(nullEvent, [moved](const SDialogView&) { return moved; }));
    display.Add([&](const SDialogView& view) {
        shownWhileHeld = view.rcBounds;
        return MakeEvent(mouseUp, 0, moved);
    });
    display.Add(Key(kReturnCharCode));
    EXPECT_EQ(Show(), 0);
    EXPECT_EQ(shownWhileHeld.top, cCENTRED.top + 10);
    EXPECT_EQ(shownWhileHeld.left, cCENTRED.left + 20);
    EXPECT_EQ(display.last.rcBounds.top, cCENTRED.top + 10);
    EXPECT_EQ(display.last.rcBounds.left, cCENTRED.left + 20);
}

TEST_F(AboutBox, TheFilterDragsOnlyItsOwnWindowAndThenEatsTheClick) {
    // The About box centred, and a second window from the same template in front of it, uncentred.
    DialogTHndl dlgTemplate = GetResource(uiRESOURCE_DIALOG, sDIALOG_ABOUT);
    CenterAboutDlg(dlgTemplate);
    DialogRef about = GetNewDialog(sDIALOG_ABOUT, nullptr, pFRONT_OF_ALL_WINDOWS);
    ReleaseResource(dlgTemplate);
    DialogRef other = GetNewDialog(sDIALOG_ABOUT, nullptr, pFRONT_OF_ALL_WINDOWS);
    SAboutDlgContext context{nullptr, nullptr, RecordEvent};
    SetWRefCon(GetDialogWindow(about), &context);
    int16_t item = -1;

    EventRecord click = MakeEvent(mouseDown, 0, TitleBarOf(DescribeDialog(other)));
    EXPECT_FALSE(CB_AboutDlgFilter(about, &click, &item));
    EXPECT_EQ(click.what, mouseDown);
    EXPECT_EQ(DescribeDialog(about).rcBounds.top, cCENTRED.top);

    const Point grab = TitleBarOf(DescribeDialog(about));
    display.Add(Mouse(mouseUp, [grab](const SDialogView&) {
        return Point{static_cast<int16_t>(grab.v + 10), static_cast<int16_t>(grab.h + 20)};
    }));
    click = MakeEvent(mouseDown, 0, grab);
    EXPECT_FALSE(CB_AboutDlgFilter(about, &click, &item));
    EXPECT_EQ(click.what, nullEvent);
    EXPECT_EQ(DescribeDialog(about).rcBounds.top, cCENTRED.top + 10);
    EXPECT_EQ(DescribeDialog(about).rcBounds.left, cCENTRED.left + 20);
    EXPECT_TRUE(HostEvents().empty());
    EXPECT_EQ(item, -1);

    DisposeDialog(other);
    DisposeDialog(about);
}

TEST_F(AboutBox, RunsAndCleansUpWithoutTheHostsEventRoutine) {
    enum EHost { eNO_BASIC_SUITE, eREFUSES, eNO_ROUTINE };
    for (EHost host : {eNO_BASIC_SUITE, eREFUSES, eNO_ROUTINE}) {
        ResetHost();
        pSPBasic = host == eNO_BASIC_SUITE ? nullptr : BasicSuite();
        host::suites::RefuseWith(host == eREFUSES ? -3 : 0);
        host::suites::OfferProcessEvent(host != eNO_ROUTINE);
        CScriptedDisplay script{cSCREEN};
        script.Add(Null());
        script.Add(WindowEvent(updateEvt, 0x1234));
        script.Add(Key(kReturnCharCode));
        script.Add(Key('!'));
        EXPECT_EQ(Show(), 0) << "host " << host;
        EXPECT_EQ(script.Remaining(), 1u) << "host " << host;
        EXPECT_TRUE(HostEvents().empty());
        EXPECT_EQ(CountDialogs(), 0u);
        EXPECT_EQ(CountLoadedResources(), 0u);
        rUIHooks.Unload();
    }
}

TEST_F(AboutBox, WithNobodyToAnswerItClosesAtOnce) {
    EXPECT_EQ(Show(), 0);
    EXPECT_EQ(display.exhausted, 1);
    EXPECT_EQ(display.shows, 1);
}

TEST_F(AboutBox, ANullRecordOrTemplateIsAMissingParameter) {
    EXPECT_THROW(ShowAboutDlg(nullptr), EError);
    EXPECT_THROW(CenterAboutDlg(nullptr), EError);
}

TEST_F(AboutBox, TheFilterIgnoresNullArguments) {
    EventRecord event = MakeEvent(keyDown, kReturnCharCode);
    int16_t item = -1;
    EXPECT_FALSE(CB_AboutDlgFilter(nullptr, &event, &item));
    EXPECT_EQ(item, -1);
}

} // namespace
