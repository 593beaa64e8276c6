// The cue player: carries out one parsed cue as the call of the on-air controller it names.
//
// The player holds no effect logic: a cue's arguments go to the controller (or to the drawer
// and effect controllers it hands out) unchanged, and the result says whether the controller
// accepted them. Text and shape cues set every drawing attribute they use, from their options
// or the defaults, before drawing, so a cue never inherits the look of the one before. Files
// named by a cue are found beside the sheet unless their names are absolute. The player keeps
// the picture a roll moves; it must be destroyed after the controller.
#pragma once

#include <memory>
#include <string>

#include "cue_sheet.h"

class CKrOnlineCtl;
class CKrFrameBuffer;

namespace oa {

struct CueOutcome {
    bool ok = false;
    long long result = 0; // what the controller returned
    std::string text;     // "<op> -> <result>", with the controller's last error text on failure
};

class CuePlayer {
public:
    // `folder` is where relative file names are looked for (the sheet's folder).
    CuePlayer(CKrOnlineCtl& ctl, std::string folder);
    ~CuePlayer();
    CuePlayer(const CuePlayer&) = delete;
    CuePlayer& operator=(const CuePlayer&) = delete;

    CueOutcome play(const Cue& cue);

private:
    std::string path(const std::string& name) const;
    long long text(const Cue& cue);
    long long shape(const Cue& cue);
    long long roll(const Cue& cue);
    long long still(const Cue& cue);

    CKrOnlineCtl& ctl_;
    std::string folder_;
    // The picture the roll moves: the roll borrows it until it has ended, so it is replaced
    // only when the roll has taken a new one, and it outlives the controller's use of it (the
    // player is let go after the controller).
    std::unique_ptr<CKrFrameBuffer> roll_picture_;
};

} // namespace oa
