// The main window's automatic refresh and the scrolling of the tree and the list while a drag
// hovers near their edges.
#include "central.h"

#include "fmwizard.h"
#include "importform.h"
#include "profile_host.h"
#include "server_list_lock.h"

#include "vcl/application.h"
#include "vcl/dragdrop.h"
#include "vcl/modal_host.h"
#include "vcl/mouse.h"

#include <cstring>
#include <exception>
#include <mutex>

namespace {

// The control's client area in screen co-ordinates.
vcl::TRect ScreenArea(vcl::TControl* control) {
    const vcl::TPoint topLeft = control->ClientToScreen({0, 0});
    return {topLeft.X, topLeft.Y, topLeft.X + control->GetClientWidth(),
            topLeft.Y + control->GetClientHeight()};
}

// One line up (-1) or down (1) when the cursor is within 20 pixels above or below the area and
// strictly between its side edges; 0 otherwise.
int EdgeDirection(const vcl::TRect& area, vcl::TPoint cursor) {
    if (cursor.X <= area.Left || cursor.X >= area.Right) return 0;
    if (cursor.Y > area.Top - 20 && cursor.Y < area.Top) return -1;
    if (cursor.Y > area.Bottom && cursor.Y < area.Bottom + 20) return 1;
    return 0;
}

// Marks the window's timer work as running for the life of the scope.
class TimerWork {
public:
    explicit TimerWork(bool& running) : running_(running) { running_ = true; }
    ~TimerWork() { running_ = false; }
    TimerWork(const TimerWork&) = delete;
    TimerWork& operator=(const TimerWork&) = delete;

private:
    bool& running_;
};

} // namespace

// The settings-profile window shows a server that went off-line: it closes, and says why.
void CloseProfileWindowOf(const CNasServer& server, const std::string& text) {
    // The window keeps a copy of its unit: the two are the same unit by hardware address.
    const CNasServer* shown = Form_ProfileSetting ? Form_ProfileSetting->Server() : nullptr;
    if (!shown || !Form_ProfileSetting->GetVisible() ||
        std::memcmp(shown->Info.hardwareAddress, server.Info.hardwareAddress,
                    sizeof server.Info.hardwareAddress) != 0)
        return;
    Form_ProfileSetting->Close();
    vcl::Application->MessageBox(text, "", vcl::MB_OK);
}

void TForm_Central::Timer_RefreshTimer(vcl::TObject*) {
    // Retired units go once nothing shares them.
    SweepRetiredServers();
    if (WizardRefreshing == 1) return;
    if (IniData.RefreshEnable == 0) {
        RefreshTicks = 0;
        return;
    }
    if (RefreshTicks < 6 * IniData.RefreshInterval) {
        ++RefreshTicks;
        return;
    }
    RefreshTicks = 0;
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (!selected) return;
    // A refresh or listener tick already at work (the refresh lets pending events run) is not
    // entered again: this refresh is skipped and the next one comes a full interval later.
    if (TimerWorkRunning) return;
    TimerWork work(TimerWorkRunning);
    std::lock_guard<vcl::TCriticalSection> lock(ServerListLock);
    try {
        RefreshTreeNode(selected);
        if (FmWizard && FmWizard->GetVisible()) {
            // The wizard's lists of units follow the refresh (the destination page also reads
            // the remote units again).
            if (DestinationListLive == 1)
                FmWizard->RefreshServerList();
            else
                DropAnnouncedServer(nullptr, "");
            RefreshWizardServerDetail();
        }
        RefreshProfileTargets();
    } catch (const std::exception& e) {
        vcl::Application->MessageBox("as", "", vcl::MB_OK);
        vcl::Application->ShowException(e);
    }
    ++RefreshTicks;
}

void TForm_Central::Timer_AutoScrollTimer(vcl::TObject*) {
    const vcl::TPoint cursor = vcl::GetCursorPos();
    if (ListLeftButtonDown && !ListDragging && !ScreenArea(ListView).Contains(cursor))
        ListLeftButtonDown = false;
    if (!TreeDragging && !ListDragging) return;
    if (const int dy = EdgeDirection(ScreenArea(TreeView), cursor))
        vcl::ScrollDropArea(TreeView, 0, dy);
    if (const int dy = EdgeDirection(ScreenArea(ListView), cursor))
        vcl::ScrollDropArea(ListView, 0, dy);
}

void TForm_Central::SweepRetiredServers() {
    // Controls hold units by handle and waiting code holds a share: what nothing shares can go
    // now, also while a box, the wizard or the settings-profile window is open.
    NasSvrNet.Sweep();
}
