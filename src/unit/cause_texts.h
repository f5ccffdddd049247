#pragma once

#include "download/download_result.h"

#include <QString>

namespace posflash {

class Faces;

// Our own words for what a download did and why, in the language asked: the command line
// prints them and the history keeps them in both languages. They are not the window's: no
// text here exists in one language only.
class CauseTexts {
public:
    explicit CauseTexts(const Faces& faces) : faces_(faces) {}

    // "completed", "failed", "cancelled", "refused".
    QString outcome(Outcome outcome) const;
    // Why, for a person: "the printer did not answer frame 3 (sent 3 times)". step and frame
    // say where the download was (frame from 1, 0 outside the data frames); sends is how often
    // that frame went out; linkTimeoutMs is the job's limit.
    QString cause(Cause cause, short step, int frame, int sends, int linkTimeoutMs = 0) const;
    // What the user can do about it: "check the cable or the network, ..."; empty for none.
    QString remedy(Cause cause) const;
    // "what to do: " and the remedy, or nothing.
    QString remedyLine(Cause cause) const;
    // One line for the end of a download that did not complete:
    // "failed: printer-silent — the printer did not answer frame 3 (sent 3 times): detail".
    QString endLine(const DownloadResult& result, int linkTimeoutMs = 0) const;
    // Where a frame was: "the start frame", "frame 3", "the end frame", "the final frame",
    // "the link".
    QString where(short step, int frame) const;
    // A frame sent again: "no answer to frame 3, resend 1" or "frame 3 refused (status 5),
    // resend 1", for the frame's send number attempt (from 2); attempt 0: a refusal that ended
    // the download.
    QString retry(short step, int frame, int attempt, int status) const;
    // A unit's update begins again: "retrying the update, attempt 2, after printer-silent".
    QString unitRetry(int attempt, Cause failed) const;
    // A text of the multi-printer view's table and lines.
    QString text(const char* english) const;
    // Any other text of the command line's downloads.
    QString own(const char* english) const;

private:
    const Faces& faces_;
};

} // namespace posflash
