#include "web_browser.h"

#include <QDesktopServices>
#include <QUrl>

namespace parbex {
namespace {

class DesktopWebBrowser final : public WebBrowser {
public:
    bool Open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

DesktopWebBrowser g_desktopWebBrowser;
WebBrowser* g_pWebBrowser = &g_desktopWebBrowser;

}  // namespace

WebBrowser& CurrentWebBrowser() { return *g_pWebBrowser; }

WebBrowser* InstallWebBrowser(WebBrowser* browser) {
    WebBrowser* previous = g_pWebBrowser;
    g_pWebBrowser = browser != nullptr ? browser : &g_desktopWebBrowser;
    return previous;
}

}  // namespace parbex
