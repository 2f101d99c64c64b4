// sim/observer.h -- what a person watching the game would see of the plug-in, made from its host
// calls alone: the frame's sprites and text lines, the menu as rows with the selection, the story
// of the session as timeline lines, and the train's trip for the map. The simulator and the replay
// host feed it the same calls, so a live session and the replay of its recording tell the same
// story by construction.
//
// A frame's work touches only storage sized once at construction: an open menu observed for a
// million frames allocates nothing. Timeline lines are strings, made only while the timeline is on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/money.h"
#include "sim/picture.h"
#include "sim/sim.h"

struct ObservedEvent {
    uint64_t frame;    // the script's frames: returns from its waits
    bool timeRead;     // the plug-in had read the game clock by then
    int64_t gameTime;  // as last read by the plug-in
    std::string text;
};

// "frame     123  00:01:02.345  text": the one way live visits and replays print a line.
std::string TimelineLine(const ObservedEvent& e);

// The menu as the last complete frame drew it. Line 0 is the title (or the notice's one line);
// the items follow. Markup is stripped.
struct MenuView {
    static constexpr int MaxLines = 16;
    static constexpr size_t LineBytes = 128;
    bool panel = false;    // the black panel was drawn: a menu or a notice is on screen
    int highlighted = -1;  // item under the highlight, -1 when none is drawn
    int lineCount = 0;
    char lines[MaxLines][LineBytes] = {};

    bool IsMenu() const { return panel && lineCount >= 5; }
    bool IsNotice() const { return panel && lineCount == 1; }
    const char* Item(int item) const { return item >= 0 && item + 1 < lineCount ? lines[item + 1] : ""; }
};

class Observer {
public:
    static constexpr size_t MaxDraws = 96;  // a menu frame draws about 30

    Observer();

    // The host's side. Call: a native call as the plug-in made it (its raw pushes, texts and
    // addresses still valid) and the result slots it got back; the host has already checked it.
    void Call(uint64_t hash, const uint64_t* args, int argc, const uint64_t* result);
    void KeyRead(uint32_t key, uint64_t word);
    // The script waited: the frame it drew is complete.
    void EndFrame();
    // A host frame the script slept through: nothing is on screen from it.
    void NothingDrawn() { shown_.clear(); }
    // A new session of the plug-in begins: frames count from 0, the clock is unread.
    void NewSession();
    void SetTimeline(bool on) { timelineOn_ = on; }
    void ForgetHistory();

    // What a person watching saw.
    const std::vector<DrawItem>& Draws() const { return shown_; }
    const MenuView& Menu() const { return menu_; }
    const std::vector<ObservedEvent>& Timeline() const { return timeline_; }
    const TripRecord& Trip() const { return trip_; }
    uint64_t Frame() const { return frame_; }
    bool TimeRead() const { return timeRead_; }
    int64_t GameTime() const { return gameTime_; }
    // The first whole menu frame and the first frame of a refusal notice, as drawn.
    const std::vector<DrawItem>& FirstMenuFrame() const { return firstMenu_; }
    const std::vector<DrawItem>& FirstRefusalFrame() const { return firstRefusal_; }
    int32_t Origin() const { return origin_; }
    int32_t Destination() const { return destination_; }
    int32_t FareCents() const { return fareCents_; }

private:
    void Event(const std::string& text);
    DrawItem* NewDraw(DrawItem::Kind kind);
    const char* ComposedText(uint64_t handle) const;
    void Compose(uint64_t handle, const char* text);
    const char* NameOfHash(uint32_t hash) const;
    void ReadMenu();
    void TellInputOutcome(bool final);
    void MenuClosed();
    static int32_t StationOfItem(const char* text);
    void RememberAsked();

    // Frames: the one being drawn and the last complete one, each of fixed capacity.
    std::vector<DrawItem> drawing_, shown_;
    std::vector<DrawItem> firstMenu_, firstRefusal_;
    float nextScale_[2] = {1, 1};
    bool nextColoured_ = false;
    int32_t nextColour_[4] = {255, 255, 255, 255};
    MenuView menu_;
    struct Asked {
        int highlighted = -1;
        char item[MenuView::LineBytes] = {};
    } asked_;

    // Texts the game composed (by the handle it gave back) and names it hashed, newest last.
    static constexpr size_t ComposedSlots = 64, NameSlots = 16;
    struct Composed {
        uint64_t handle = 0;
        char text[MenuView::LineBytes * 2] = {};
    };
    std::vector<Composed> composed_;
    size_t nextComposed_ = 0;
    struct HashedName {
        uint32_t hash = 0;
        char name[40] = {};
    };
    HashedName names_[NameSlots];
    size_t nextName_ = 0;

    // The input the menu acted on, until what it did shows.
    static constexpr size_t KeySlots = 256;
    uint64_t lastWord_[KeySlots] = {};
    // The latest key or pad control read this frame: the one the menu answers, if it does.
    enum class Read { Nothing, Key, Pad } lastRead_ = Read::Nothing;
    uint32_t lastReadWhich_ = 0;  // the key code, or the control's hash
    char acted_[48] = {};
    int actedFrames_ = -1;  // frames since the acknowledgement; -1: none pending
    static constexpr int MaxUnanswered = 8;
    uint32_t unanswered_[MaxUnanswered] = {};
    int unansweredCount_ = 0;
    bool purchased_ = false, refusedNow_ = false, transitionNow_ = false;
    bool promptBack_ = false;  // the prompt was offered again this frame: the menu is gone
    enum class Close { Unknown, Cancelled, Bought } closeReason_ = Close::Unknown;

    bool timelineOn_ = true;
    std::vector<ObservedEvent> timeline_;
    uint64_t frame_ = 0;
    bool timeRead_ = false;
    int64_t gameTime_ = 0;

    int32_t playerPed_ = 0;
    Vec3 playerAt_;
    bool playerSeen_ = false;
    char promptLabel_[MenuView::LineBytes * 2] = "Quorvane";
    int32_t cash_ = 0;
    bool menuOpen_ = false;
    bool refusing_ = false;
    int32_t origin_ = -1, destination_ = -1, fareCents_ = 0;

    int32_t train_ = 0;
    bool halted_ = false;
    TripRecord trip_;
    struct JunctionState {
        int32_t track, index, state;
    };
    std::vector<JunctionState> junctions_;
};
