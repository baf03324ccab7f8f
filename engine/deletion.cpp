#include "engine/deletion.h"

#include "base/journal.h"
#include "engine/history.h"
#include "engine/recording.h"
#include "engine/scheduler.h"
#include "engine/wake.h"
#include "reservations/reservation.h"

DeleteOutcome delete_reservation(int slot, std::time_t now) {
    if (slot < 0 || slot >= kMaxReservations || slot >= reservations.count) return kDeleteNoSlot;
    if (recording.sequence_running || (recording.active && recording.index == slot))
        return kDeleteRecording;
    // Written while the table still holds it, so that its lines carry its old slot number,
    // which start-up maps through the delete line that follows them.
    history_before_delete(slot, now);
    journal_reservation(kEventReservationDeleted, slot, "%s", "");
    remove_slot(reservations.table, slot);
    if (recording.active && recording.index > slot) --recording.index;
    history_slot_removed(slot);
    reservations.count = count_in_use(reservations.table);
    reservations.selected_index = -1;
    // The cache is kept by slot; a fresh one costs one look at the rule per slot.
    reset_schedule_cache();
    rearm_wake_timer(now);
    return kDeleted;
}
