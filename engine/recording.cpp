#include "engine/recording.h"

RecordingState recording = {};

void reset_recording() { recording = RecordingState{}; }
