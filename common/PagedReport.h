#pragma once

#include <QRect>
#include <QString>
#include <memory>
#include <vector>

// A report laid out on its pages: every text, line and box placed in twips (1/1440 inch) from
// the paper's top-left corner, with its text resolved. The same pages are painted on the screen,
// a printer or a PDF, and written as plain text; nothing here depends on the installed fonts.
namespace reports {

constexpr int TwipsPerInch = 1440;

enum class TextAlign { Left, Center, Right };

struct TextStyle {
    int pointSize = 10;
    bool bold = false;
    bool italic = false;
    TextAlign align = TextAlign::Left;
};

struct PlacedItem {
    enum class Kind { Text, Line, Box };
    Kind kind = Kind::Text;
    QRect twips;           // for a line: from the top-left to the bottom-right corner
    QString text;          // the resolved text (page numbers and dates filled in)
    bool fromData = false; // a value of the data, rather than a caption of the layout
    TextStyle style;
    int lineWidth = 15; // twips, for lines and boxes
};

struct PaperSize {
    int width = 12240; // US Letter, portrait
    int height = 15840;
};

struct Page {
    std::vector<PlacedItem>
        items; // in reading order: band by band, then top to bottom, left to right
};

// The pages of a long report, each laid out when it is asked for: the number of pages is known
// from the start, and no page is held longer than it is used.
class PageSource {
public:
    virtual ~PageSource() = default;
    virtual int pageCount() const = 0;
    virtual Page page(int index) const = 0; // 0 <= index < pageCount()
};

struct PagedReport {
    QString title;        // the report's title ("Score Sheet")
    QString documentName; // what a saved copy is called by default ("Score Sheet class 12")
    PaperSize paper;
    std::vector<Page> pages;                  // the pages laid out, when they are held here
    std::shared_ptr<const PageSource> source; // else where each page is laid out

    int pageCount() const { return source ? source->pageCount() : int(pages.size()); }
    Page page(int index) const { return source ? source->page(index) : pages[size_t(index)]; }
};

} // namespace reports
