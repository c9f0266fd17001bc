// A folder's archive is a pair, "arc.dat" and "idx.dat", that must change
// together: an index over another build's data reads the wrong bytes. A
// build writes the new pair under temporary names ("arc.dat.tmp",
// "idx.dat.tmp"); the switch then records that the pair is complete (the
// marker "arc.switch"), renames the data and then the index into place, and
// removes the marker. Whoever opens the archive next finishes a switch that
// an interruption left with its marker, so the folder always reads either
// the whole old pair or the whole new one.
#pragma once
#include <string>
#include <string_view>

namespace archive_switch {

// The marker of a complete pair waiting to be switched in.
std::string markerPath(std::string_view folder);
// The temporary path a build writes a pair file to.
std::string pendingPath(const std::string& path);

// Switches the synced temporary pair in. False when a step failed: the
// switch is then left for finishPending.
bool commit(std::string_view folder);
// Finishes a switch left half done (nothing to do: true); false, logged,
// when one is left that cannot be finished.
bool finishPending(std::string_view folder);

}  // namespace archive_switch
