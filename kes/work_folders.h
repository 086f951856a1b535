#pragma once

// The program folder's conventions: the work folders made at start, the helper files expected in
// extern/, the two control files written there at start and the files removed at close.

#include <array>
#include <string>
#include <string_view>

namespace kes {

inline constexpr std::array<std::string_view, 7> WorkFolders = {"Export", "Logs", "Output", "Profiles",
                                                                "Vexlor", "VOBS", "Wtemp"};

struct HelperFile {
    std::string_view file;
    std::string_view label;
};
// In the order the warning lists them; the last label has no " - " of its own.
inline constexpr std::array<HelperFile, 12> HelperFiles = {{
    {"_Quillon.ax", "_Quillon.ax - "},
    {"_Mpeg2Parser.ax", "_Mpeg2Parser.ax - "},
    {"XmdAudioDecode.dll", "XmdAudioDecode.dll - "},
    {"_wavdest.ax", "_wavdest.ax - "},
    {"AsmAc3.dll", "AsmAc3.dll - "},
    {"AsmFloatFull.dll", "AsmFloatFull.dll - "},
    {"LAME_ENC.DLL", "LAME_ENC.DLL - "},
    {"Tonegrab.exe", "TONEGRAB - "},
    {"mpeg2avipx3.exe", "Mpeg2Avipx3 - "},
    {"m2apx3g.exe", "m2apx3g - "},
    {"mpeg2v12.exe", "Mpeg2v12 - "},
    {"DivxAuto.exe", "DivxAuto "},
}};

inline constexpr std::string_view NulBinName = "_nul.bin";
inline constexpr std::string_view NulLstName = "_nul.lst";
inline constexpr std::string_view NulBinBytes = "0000\r\n";
// Deleted from extern/ when the main window closes, in this order, whether present or not.
inline constexpr std::array<std::string_view, 5> CloseFiles = {"sn.fnd", "_nul.bin", "_nul.lst", "vsp.ini",
                                                               "mp2a.bat"};

// Creates each missing work folder under progDir (one level, failures ignored); returns how many it made.
int makeWorkFolders(std::string_view progDir);

// The labels of the helper files missing from externDir, in table order; empty when all are there.
std::string missingHelpers(std::string_view externDir);
// The warning shown for a non-empty list of missing helpers.
std::string missingHelpersWarning(std::string_view missing);

// Rewrites "_nul.bin" ("0000" CR LF) and "_nul.lst" (the path of "_nul.bin", CR LF) in externDir;
// false when either could not be written (a missing extern/ writes nothing).
bool writeNulFiles(std::string_view externDir);

// Deletes the close files from externDir; returns how many were there and went.
int deleteCloseFiles(std::string_view externDir);

} // namespace kes
