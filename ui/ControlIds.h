#pragma once
// The resource ids of the desktop program's controls and menu commands, by name. A
// control carries the object name "control<id>" (ControlName), a menu command
// "command<id>" (CommandName); tests find them by these names. The ids are those of
// the program's resources and do not change. Ids are unique within one window only:
// the form and the dialogs reuse numbers, so each has a namespace of its own.

#include <QString>
#include <array>
#include <cstddef>

namespace ControlId {

// The buttons that end the dialogs and message-like boxes.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// The main form.
namespace Form {

inline constexpr int kFormat = 1000;   // "MIDI Type:"
inline constexpr int kTracks = 1001;   // "Tracks:"
inline constexpr int kDivision = 1002; // "Timestamp: "
inline constexpr int kPlay = 1052;
inline constexpr int kStop = 1053;
inline constexpr int kSlider = 1054;  // the start second
inline constexpr int kElapsed = 1055; // the elapsed time
inline constexpr int kShowRttl = 1056; // hidden
inline constexpr int kShowPdu = 1057;  // hidden
inline constexpr int kMute = 1058;
inline constexpr int kRtttl = 1059; // the RTTTL text box
inline constexpr int kListen = 1060;
inline constexpr int kOpenMidi = 1061;
inline constexpr int kPost = 1063;
inline constexpr int kInstrument = 1070; // "Select Instrument"
inline constexpr int kFullView = 1071;   // hidden
inline constexpr int kMidiControl = 1072; // the "Midi Control" group
inline constexpr int kRecordTime = 1073;
inline constexpr int kTestUpload = 1074; // hidden

// The channel lines: channel 1 has the first ids of their kinds, channels 2-16 take
// blocks of their own.
inline constexpr std::array<int, 16> kChannelLabels = {1003, 1005, 1006, 1007, 1008, 1009, 1010, 1011,
                                                       1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019};
inline constexpr std::array<int, 16> kChannelMeters = {1004, 1020, 1021, 1022, 1023, 1024, 1025, 1026,
                                                       1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034};
inline constexpr std::array<int, 16> kChannelChecks = {1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043,
                                                       1044, 1045, 1046, 1047, 1048, 1049, 1050, 1051};

// The instrument label, pitch meter and enable check box of `channel`, 0-15.
constexpr int ChannelLabelId(int channel)
{
    return kChannelLabels[static_cast<std::size_t>(channel)];
}
constexpr int ChannelMeterId(int channel)
{
    return kChannelMeters[static_cast<std::size_t>(channel)];
}
constexpr int ChannelCheckId(int channel)
{
    return kChannelChecks[static_cast<std::size_t>(channel)];
}

} // namespace Form

// The Setup dialog; OK and Cancel are kOk and kCancel.
namespace Setup {

inline constexpr int kTempDir = 1068; // "Path"
inline constexpr int kMediaPlayer = 1070;
inline constexpr int kBrowseMediaPlayer = 1071;
inline constexpr int kNickname = 1075;
inline constexpr int kPassword = 1076;
inline constexpr int kEmail = 1077;
inline constexpr int kConfirm = 1078;
inline constexpr int kHomeSite = 1079;
inline constexpr int kSoundOutput = 1080;
inline constexpr int kSoundFont = 1081;
inline constexpr int kBrowseSoundFont = 1082;

} // namespace Setup

// The Post Ringtone dialog.
namespace Post {

inline constexpr int kPost = kOk;
inline constexpr int kBack = kCancel;
inline constexpr int kCategory = 1080;
inline constexpr int kToneName = 1081;
inline constexpr int kStatus = 1084;

} // namespace Post

// The How To box; its OK is kOk.
namespace HowTo {

inline constexpr int kText = 1087;

} // namespace HowTo

} // namespace ControlId

// The main window's menu commands.
namespace CommandId {

inline constexpr int kSetup = 32771;
inline constexpr int kHowTo = 32773;
inline constexpr int kRtttlFormat = 32774;
inline constexpr int kImportRingtone = 32780;
inline constexpr int kExportRingtone = 32781;
inline constexpr int kExportSongRingtone = 32782;
inline constexpr int kNew = 57600;
inline constexpr int kOpen = 57601;
inline constexpr int kSaveAs = 57603;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;

} // namespace CommandId

// "control1052" for ControlId::Form::kPlay.
inline QString ControlName(int id)
{
    return QStringLiteral("control%1").arg(id);
}

// "command57601" for CommandId::kOpen.
inline QString CommandName(int id)
{
    return QStringLiteral("command%1").arg(id);
}
