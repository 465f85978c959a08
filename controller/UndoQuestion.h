#pragma once

#include "engine/UpdateHistory.h"
#include "platform/Sheet.h"

#include <ctime>
#include <string>
#include <vector>

namespace quorvane {

class Localizer;

// The question asked before an undo, for the menu's Undo Last Update and the history window alike: it
// names the add-ons of each update it takes back, newest first, and counts their files as their reports
// counted them.
class UndoQuestion {
public:
    // updates: newest first, the one asked for last; those before it stand in its way. The sheet has
    // "Undo" and "Cancel" and no answer yet.
    static Sheet sheet(const std::vector<UpdateHistory::Entry>& updates, const Localizer& localizer);
    // Restore to Before All Updates: updates newest first; staying, the older ones that can no longer be
    // undone.
    static Sheet restoreSheet(const std::string& installation,
                              const std::vector<UpdateHistory::Entry>& updates, std::size_t staying,
                              const Localizer& localizer);
    // "2007-01-02 09:05", in local time.
    static std::string dateText(std::time_t date);
    // The add-on names of an update, or its date when its record names none.
    static std::string addOnsText(const UpdateHistory::Entry& update);

private:
    // Each update's add-ons, date and counts, then what an undo does.
    static std::string updateLines(const std::vector<UpdateHistory::Entry>& updates,
                                   const Localizer& localizer);
};

} // namespace quorvane
