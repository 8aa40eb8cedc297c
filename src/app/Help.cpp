#include "app/Help.h"

#include <QDesktopServices>

#include <filesystem>
#include <system_error>

namespace velmora {

std::function<void(const QUrl&)> OpenUrlHandler = [](const QUrl& url) { QDesktopServices::openUrl(url); };

namespace {

void openUrl(const QUrl& url)
{
    if (OpenUrlHandler && url.isValid()) OpenUrlHandler(url);
}

void openHelpPage(const std::string& programFolder, const std::string& page)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(programFolder + page, ec)) return;
    openUrl(helpPageUrl(programFolder, page));
}

bool keptInHelpAddress(unsigned char c, char separator)
{
    return c == '*' || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == '@' || (c >= 'A' && c <= 'Z') ||
        (c >= 'a' && c <= 'z') || c == static_cast<unsigned char>(separator) || c == '_';
}

} // namespace

std::string encodeHelpFolder(const std::string& folder, char separator)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(folder.size());
    for (const char ch : folder) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptInHelpAddress(c, separator)) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string compiledMouseHelpAddress(const std::string& folder)
{
    return "mk:@MSITStore:" + encodeHelpFolder(folder) + "Velmora.chm::/HTML/Docs/BasicUsage/UsingTheMouse.html";
}

QUrl helpPageUrl(const std::string& programFolder, const std::string& page)
{
    // The same encoding as the compiled-help address, with '/' as the separator,
    // so blanks and non-ASCII folder names survive the trip to the browser.
    const std::string address = "file://" + encodeHelpFolder(programFolder + page, '/');
    return QUrl(QString::fromLatin1(address.c_str()), QUrl::StrictMode);
}

void openHelpContents(const std::string& programFolder)
{
    openHelpPage(programFolder, kHelpContentsPage);
}

void openMouseHelp(const std::string& programFolder)
{
    openHelpPage(programFolder, kMouseHelpPage);
}

void openOnlineSupportCenter()
{
    openUrl(QUrl(QString::fromLatin1(kOnlineSupportAddress)));
}

QUrl supportMailUrl()
{
    return QUrl(QStringLiteral("mailto:%1?subject=%2")
                    .arg(QString::fromLatin1(kSupportMailAddress),
                         QString::fromLatin1(QUrl::toPercentEncoding(QString::fromLatin1(kMailSubject)))),
                QUrl::StrictMode);
}

void openSupportMail()
{
    openUrl(supportMailUrl());
}

void openSupportForum()
{
    openUrl(QUrl(QString::fromLatin1(kForumAddress)));
}

void openFaceImagesPage()
{
    openUrl(QUrl(QString::fromLatin1(kFaceImagesAddress)));
}

void openStockPhotos()
{
    openUrl(QUrl(QString::fromLatin1(kStockPhotosAddress)));
}

} // namespace velmora
