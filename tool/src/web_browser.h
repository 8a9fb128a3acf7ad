// The desktop's default web browser, reached through one seam: the program asks the desktop to
// open an address, tests install a recorder so that nothing is opened.
#pragma once

class QUrl;

namespace parbex {

class WebBrowser {
public:
    virtual ~WebBrowser() = default;
    // False when the desktop has no program to open the address with.
    virtual bool Open(const QUrl& url) = 0;
};

// The seam in use: the desktop's own browser unless another was installed.
WebBrowser& CurrentWebBrowser();

// Installs browser (null restores the desktop's own) and returns the one that was in use.
WebBrowser* InstallWebBrowser(WebBrowser* browser);

}  // namespace parbex
