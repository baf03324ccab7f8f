// Deleting one reservation: the table closes up over its slot, and everything the engine
// keeps by slot number follows its reservation. Saving "recdata.dat", the form, the name
// list and the windows are the caller's.
#pragma once
#include <ctime>

enum DeleteOutcome { kDeleted, kDeleteRecording, kDeleteNoSlot };
// Deletes reservation slot (0..39, below the count in use) at now: first writes the
// occurrences of it that were missed and not yet written (as the next tick or the
// recording's stop would have), then its "予約削除" line with its slot number and name;
// then every later slot, hidden ones too, moves up by one and the last becomes a cleared
// default record. The recording under way keeps its reservation (recording.index moves
// with it), the count in use is worked out again, the selection is cleared, the scan's
// cache and the history's slot numbers follow, and the wake-up timer is armed again.
// Nothing is saved. kDeleteRecording, with nothing changed, for the slot being recorded,
// and for any slot while a start or stop sequence runs (it holds its slot number in hand;
// only a box it shows lets a message through); kDeleteNoSlot for a slot not in use.
DeleteOutcome delete_reservation(int slot, std::time_t now);
