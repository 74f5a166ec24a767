#pragma once
// The engine's messages: event-log texts and trace messages, as code page 932 bytes.
// Each is written as byte escapes; the comment shows the text.
#include <string_view>

namespace zelk::messages {

// カレントディレクトリ取得失敗
inline constexpr std::string_view kCurrentDirectoryFailed =
    "\x83J\x83\x8C\x83\x93\x83g\x83"
    "f\x83"
    "B\x83\x8C\x83N\x83g\x83\x8A\x8E\xE6\x93\xBE\x8E\xB8\x94s";
// KALDEXオープン失敗
inline constexpr std::string_view kOpenFailed = "KALDEX\x83I\x81[\x83v\x83\x93\x8E\xB8\x94s";
// readKaldex NG
inline constexpr std::string_view kReadFailed = "readKaldex NG";
// sendKaldex NG
inline constexpr std::string_view kSendFailed = "sendKaldex NG";
// getIni失敗
inline constexpr std::string_view kIniMissing = "getIni\x8E\xB8\x94s";
// デバイスオーブン中
inline constexpr std::string_view kDeviceAlreadyOpen = "\x83"
                                                       "f\x83o\x83"
                                                       "C\x83X\x83I\x81[\x83u\x83\x93\x92\x86";
// The board search's steps, named for the functions that the platform's search calls.
#ifdef _WIN32
// SetupDiEnumDeviceInterfaces Result
inline constexpr std::string_view kEnumResult = "SetupDiEnumDeviceInterfaces Result";
// SetupDiGetDeviceInterfaceDetail Result
inline constexpr std::string_view kDetailResult = "SetupDiGetDeviceInterfaceDetail Result";
#else
// hid_enumerate/readdir Result: hidapi lists the real boards, the board folder's listing the virtual ones.
inline constexpr std::string_view kEnumResult = "hid_enumerate/readdir Result";
// None: a listed device comes with its path, there is no step that fetches it.
inline constexpr std::string_view kDetailResult = {};
#endif
// デバイスパス作成失敗
inline constexpr std::string_view kDeviceOpenFailed = "\x83"
                                                      "f\x83o\x83"
                                                      "C\x83X\x83p\x83X\x8D\xEC\x90\xAC\x8E\xB8\x94s";
// VendorID, ProductID 10進
inline constexpr std::string_view kVendorProduct = "VendorID, ProductID 10\x90i";
// KALDEX発見！
inline constexpr std::string_view kBoardFound = "KALDEX\x94\xAD\x8C\xA9\x81I";
// malloc NG
inline constexpr std::string_view kAllocFailed = "malloc NG";
// close 処理完
inline constexpr std::string_view kCloseDone = "close \x8F\x88\x97\x9D\x8A\xAE";
// ctlKaldexTh クローズ
inline constexpr std::string_view kControlThreadEnd = "ctlKaldexTh \x83N\x83\x8D\x81[\x83Y";
#ifdef _WIN32
// GetCurrentDirectoryA 関数でエラー
inline constexpr std::string_view kGetcwdFailed =
    "GetCurrentDirectoryA \x8A\xD6\x90\x94\x82\xC5\x83G\x83\x89\x81[";
#else
// getcwd 関数でエラー
inline constexpr std::string_view kGetcwdFailed = "getcwd \x8A\xD6\x90\x94\x82\xC5\x83G\x83\x89\x81[";
#endif
// iniファイル読み込み失敗
inline constexpr std::string_view kIniReadFailed = "ini\x83t\x83@\x83"
                                                   "C\x83\x8B\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x8E\xB8\x94s";
// CSVファイルオープンエラー
inline constexpr std::string_view kCsvOpenFailed = "CSV\x83t\x83@\x83"
                                                   "C\x83\x8B\x83I\x81[\x83v\x83\x93\x83G\x83\x89\x81[";

} // namespace zelk::messages
