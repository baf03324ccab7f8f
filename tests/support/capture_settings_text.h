// A capture application's settings file ("Krotx2.ini", "Krotx1.ini") as the tests write
// it: every key the program rewrites, each with the value of a default reservation, so
// that applying a default reservation changes no byte.
#pragma once

inline constexpr char kCaptureSettingsText[] =
    "[Encoder]\r\n"
    "dwVideoBitrate=4000000\r\n"
    "dwAudioBitrate=384\r\n"
    "dwAudioSampleFreq=48000\r\n"
    "HRes=0\r\n"
    "m_bIsVBR=0\r\n"
    "[Picture]\r\n"
    "Brightness=127\r\n"
    "Contrast=70\r\n"
    "Saturation=67\r\n"
    "Hue=0\r\n"
    "[Stream]\r\n"
    "OMODE=0\r\n"
    "IsEs=3\r\n"
    "MPeriod=3\r\n"
    "m_NNtsc=15\r\n";
