#pragma once
// The help pages and the maker's web and mail addresses. Help pages are HTML
// files in the program folder's help/ and open in the desktop's browser; a
// page that is missing, or a browser or mail program that fails, does nothing
// and is not reported.

#include <QString>
#include <QUrl>

#include <functional>
#include <string>

namespace velmora {

// The maker's addresses.
inline constexpr const char* kSupportMailAddress = "support@velmora.example";
inline constexpr const char* kSupportTelephone = "+1 (555) 010-2100";
inline constexpr const char* kOnlineSupportAddress = "https://www.velmora.example/support/";
inline constexpr const char* kForumAddress = "https://forum.velmora.example/";
inline constexpr const char* kFaceImagesAddress = "https://www.velmora.example/face-images/";
inline constexpr const char* kStockPhotosAddress = "https://www.velmora.example/stock-photos/";
inline constexpr const char* kMailSubject = "Velmora Question";

// Help pages relative to the program folder.
inline constexpr const char* kHelpContentsPage = "help/index.html";
inline constexpr const char* kMouseHelpPage = "help/HTML/Docs/BasicUsage/UsingTheMouse.html";

// The program folder as it goes into a help address: bytes among * - . 0-9 @
// A-Z a-z _ and the folder separator stay, every other byte becomes %XX (two
// upper-case hexadecimal digits). C:\Program Files\Velmora\ gives
// C%3A\Program%20Files\Velmora\ with the separator '\'.
std::string encodeHelpFolder(const std::string& folder, char separator = '\\');

// The compiled-help address of the mouse topic for a program folder, as the
// Windows program formed it: mk:@MSITStore:<encoded folder>Velmora.chm::/HTML/...
std::string compiledMouseHelpAddress(const std::string& folder);

// file:// address of a help page in the program folder (which ends with '/').
QUrl helpPageUrl(const std::string& programFolder, const std::string& page);

// Every address goes through here; tests replace it to see what would open.
// The default asks the desktop (QDesktopServices); its result is ignored.
extern std::function<void(const QUrl&)> OpenUrlHandler;

// "&Contents" (F1): help/index.html when it exists, otherwise nothing.
void openHelpContents(const std::string& programFolder);
// "How do I use the mouse?": the mouse page when it exists, otherwise nothing.
void openMouseHelp(const std::string& programFolder);
void openOnlineSupportCenter();
// A new mail to the support address with the subject "Velmora Question".
void openSupportMail();
void openSupportForum();
void openFaceImagesPage();
void openStockPhotos();

QUrl supportMailUrl();

} // namespace velmora
