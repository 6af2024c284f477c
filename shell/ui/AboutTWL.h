#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QLabel;

namespace twl {

// The About box: a picture behind the texts, the program's version and a link to the maker's
// web page.
class AboutTWL : public QDialog {
    Q_OBJECT

public:
    // Opens a web page in the default browser; tests hand in one that records the address.
    using UrlOpener = std::function<void(const QUrl&)>;

    static constexpr int Version = 2;
    static QUrl makerPage() {
        return QUrl(QStringLiteral("https://en.wikipedia.org/wiki/Horse_show"));
    }

    explicit AboutTWL(QWidget* parent = nullptr, UrlOpener openUrl = defaultOpener());

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    static UrlOpener defaultOpener();
    QLabel* makeLink();

    UrlOpener m_openUrl;
    QLabel* m_picture = nullptr;
    QLabel* m_link = nullptr;
};

} // namespace twl
