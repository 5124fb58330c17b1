// The program's error box: a code 0-26 becomes a Japanese message box. Codes 0-24 are errors
// ("Error", error icon), 25 and 26 warnings captioned with the program's name. Worker threads
// never call this: they post kMainShowError with the code to the main window.
#pragma once

#include <windows.h>

// The codes of the box, by what went wrong.
enum ErrorCode : int {
    kErrorMemory = 0,
    kErrorDataRead = 1,
    kErrorFolderInvalid = 2,
    kErrorClipboardOpen = 3,
    kErrorTempFileCreate = 4,
    kErrorTempFileDelete = 5,
    kErrorFileDelete = 6,
    kErrorFileCreate = 7,
    kErrorFileRun = 8,
    kErrorInRecycleBin = 9,
    kErrorFolderCreate = 10,
    kErrorCacheAccess = 11,
    kErrorNoCacheInfo = 12,
    kErrorImageDisplay = 13,
    kErrorFileChanged = 14,
    kErrorCommandUnavailable = 15,
    kErrorPrintPreview = 16,
    kErrorPrint = 17,
    kErrorHistorySave = 18,
    kErrorHistoryRun = 19,
    kErrorConversion = 20,
    kErrorConversionBusy = 21,
    kErrorInputFolder = 22,
    kErrorOutputFolder = 23,
    kErrorNoTargetFiles = 24,
    kWarningInputFolderChanged = 25,
    kWarningHtmlTagWrite = 26,
};
constexpr int kErrorCodeCount = kWarningHtmlTagWrite + 1;
constexpr int kFirstWarningCode = kWarningInputFolderChanged;

// The caller guarantees 0 <= code <= 26 (an ErrorCode). Returns the box's result.
int show_error_message(HWND owner, int code);
// The posting form's handler: any code outside the table gives "Error" / "Error".
int show_posted_error(HWND owner, LPARAM code);

const wchar_t* error_message_text(int code);
