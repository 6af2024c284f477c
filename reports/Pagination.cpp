#include "Pagination.h"

#include "ReportError.h"
#include "ValueText.h"
#include "store/BulkMemory.h"
#include "store/StoreError.h"

#include <algorithm>
#include <memory>
#include <unordered_set>
#include <vector>

namespace reports {
namespace {

// The levels of the data from the outer rows down to the detail: member names, "" for the
// outer rows.
QStringList levelPath(const store::ShapedRows& data, const QString& detailMember) {
    QStringList path{QString()};
    if (detailMember.isEmpty())
        return path;
    const store::ShapedRows* level = &data;
    while (level) {
        if (level->members().contains(detailMember)) {
            path << detailMember;
            return path;
        }
        if (level->members().isEmpty() || level->rowCount() == 0)
            break;
        path << level->members().first();
        level = &level->chapter(0, level->members().first());
    }
    if (data.rowCount() == 0)
        return path.mid(0, 1);
    throw ReportError(QStringLiteral("The report's data has no level \"%1\".").arg(detailMember));
}

QString detailMember(const Layout& layout) {
    const Section* detail = layout.section(section::Detail);
    if (detail && !detail->dataMember.isEmpty())
        return detail->dataMember;
    if (detail)
        for (const Control& c : detail->controls)
            if (c.kind == Control::Kind::TextBox && !c.dataMember.isEmpty())
                return c.dataMember;
    return {};
}

// Lays the report out in two passes. The first walks the data and places every band by its
// height alone: it finds where each page begins and records the walk as steps (which row of
// which level is current, which band is placed). A page is then laid out by replaying its
// steps from the levels as they stood where it begins, its texts read from the data and "%p",
// "%P" and "%D" filled in: the pages are the same whether they are made one by one or all at once.
class Paginator {
public:
    Paginator(Layout layout, store::ShapedRows data, const QDate& printDate)
        : m_layout(std::move(layout)), m_data(std::move(data)), m_printDate(printDate),
          m_path(levelPath(m_data, detailMember(m_layout))) {
        m_header = visible(section::PageHeader);
        m_footer = visible(section::PageFooter);
        const QMargins& margins = m_layout.margins();
        m_top = margins.top();
        m_bodyBottom =
            m_layout.paper().height - margins.bottom() - (m_footer ? m_footer->height : 0);
        const int detailDepth = int(m_path.size()) - 1;
        m_innerDepth = groupDepth(section::InnerGroupHeader, detailDepth - 1);
        m_outerDepth = groupDepth(section::OuterGroupHeader, detailDepth - 2);
        plan();
    }
    Paginator(const Paginator&) = delete;
    Paginator& operator=(const Paginator&) = delete;

    const Layout& layout() const { return m_layout; }
    int pageCount() const { return int(m_pageStarts.size()); }

    Page layOut(int index) {
        m_page = Page{};
        m_pageIndex = index;
        const PageStart& start = m_pageStarts[size_t(index)];
        m_levels = start.levels;
        startPage();
        const size_t end = size_t(index) + 1 < m_pageStarts.size()
                               ? m_pageStarts[size_t(index) + 1].step
                               : m_steps.size();
        for (size_t s = start.step; s < end; ++s)
            replay(m_steps[s]);
        finishPage();
        return std::move(m_page);
    }

private:
    struct Position {
        const store::ShapedRows* rows = nullptr;
        int row = -1;
    };

    enum class Op : quint8 { Enter, Leave, Place, PlaceFlowing };

    // One step of the walk: a level's current row set (Enter) or cleared (Leave), a band placed.
    struct Step {
        const void* target = nullptr; // the level's rows, or the band
        int row = -1;
        qint16 depth = 0;
        Op op = Op::Place;
    };

    struct PageStart {
        size_t step = 0;              // the page's first step
        std::vector<Position> levels; // the current rows where it begins
    };

    const Section* visible(const QString& name) const {
        const Section* s = m_layout.section(name);
        return s && s->visible ? s : nullptr;
    }

    int groupDepth(const QString& header, int byRole) const {
        const Section* s = m_layout.section(header);
        return s && s->level >= 0 ? s->level : byRole;
    }

    // What must follow a group header of `depth` on its page: the inner group's header, when
    // the group holds inner groups, and the first detail band.
    int heightAfterHeader(int depth) const {
        int height = 0;
        if (const Section* detail = visible(section::Detail))
            height += detail->height;
        if (depth < m_innerDepth)
            if (const Section* inner = visible(section::InnerGroupHeader))
                height += inner->height;
        return height;
    }

    void plan() {
        m_planning = true;
        m_levels.assign(size_t(m_path.size()), Position{});
        m_pageStarts.push_back({0, m_levels});
        startPage();
        if (const Section* title = visible(section::ReportHeader)) {
            m_steps.push_back({title, -1, 0, Op::Place});
            place(*title);
            if (title->ownPage)
                newPage();
        }
        walk(0, m_data);
        if (const Section* footer = visible(section::ReportFooter))
            placeFlowing(*footer, 0);
        finishPage();
        m_planning = false;
    }

    void walk(int depth, const store::ShapedRows& rows) {
        const int detailDepth = int(m_path.size()) - 1;
        const Section* detail = visible(section::Detail);
        for (int r = 0; r < rows.rowCount(); ++r) {
            m_levels[size_t(depth)] = {&rows, r};
            m_steps.push_back({&rows, r, qint16(depth), Op::Enter});
            if (depth == m_outerDepth)
                if (const Section* s = visible(section::OuterGroupHeader))
                    placeFlowing(*s, heightAfterHeader(depth));
            if (depth == m_innerDepth)
                if (const Section* s = visible(section::InnerGroupHeader))
                    placeFlowing(*s, heightAfterHeader(depth));
            if (depth == detailDepth) {
                if (detail)
                    placeFlowing(*detail, 0);
            } else {
                walk(depth + 1, rows.chapter(r, m_path[depth + 1]));
            }
            if (depth == m_innerDepth)
                if (const Section* s = visible(section::InnerGroupFooter))
                    placeFlowing(*s, 0);
            if (depth == m_outerDepth)
                if (const Section* s = visible(section::OuterGroupFooter))
                    placeFlowing(*s, 0);
        }
        m_levels[size_t(depth)] = {};
        m_steps.push_back({nullptr, -1, qint16(depth), Op::Leave});
    }

    void replay(const Step& step) {
        switch (step.op) {
        case Op::Enter:
            m_levels[size_t(step.depth)] = {static_cast<const store::ShapedRows*>(step.target),
                                            step.row};
            break;
        case Op::Leave:
            m_levels[size_t(step.depth)] = {};
            break;
        case Op::PlaceFlowing:
            placePendingHeader();
            place(*static_cast<const Section*>(step.target));
            break;
        case Op::Place:
            place(*static_cast<const Section*>(step.target));
            break;
        }
    }

    // A band in the flow of the pages; `keepWith` more twips must fit after it (a group header
    // keeps its first row beside it).
    void placeFlowing(const Section& band, int keepWith) {
        placePendingHeader();
        if (m_y + band.height + keepWith > m_bodyBottom && m_y > m_bodyTop) {
            newPage();
            placePendingHeader();
        }
        m_steps.push_back({&band, -1, 0, Op::PlaceFlowing});
        place(band);
    }

    void placePendingHeader() {
        if (!m_headerPending)
            return;
        m_headerPending = false;
        if (m_header)
            place(*m_header);
        m_bodyTop = m_y;
    }

    void startPage() {
        m_y = m_top;
        m_bodyTop = m_y;
        m_headerPending = true;
    }

    // Only while planning: the page ends where the next band does not fit.
    void newPage() {
        finishPage();
        m_pageStarts.push_back({m_steps.size(), m_levels});
        startPage();
    }

    bool onFirstPage() const { return m_planning ? m_pageStarts.size() == 1 : m_pageIndex == 0; }

    void finishPage() {
        // A page with nothing of the data on it (an empty report) still shows its header.
        const bool titleOnly = onFirstPage() && titleOwnPage();
        if (!titleOnly)
            placePendingHeader();
        if (m_footer) {
            m_y = m_bodyBottom;
            place(*m_footer);
        }
    }

    bool titleOwnPage() const {
        const Section* title = visible(section::ReportHeader);
        return title && title->ownPage;
    }

    void place(const Section& band) {
        if (m_planning)
            checkFields(band);
        else
            placeItems(band);
        m_y += band.height;
    }

    // A text box that reads a field the data does not have is found while planning, as the band
    // is first placed over rows. A band whose text boxes were all checked is not looked at again.
    void checkFields(const Section& band) {
        if (std::find(m_checkedBands.begin(), m_checkedBands.end(), &band) != m_checkedBands.end())
            return;
        bool allChecked = true;
        for (const Control& c : band.controls) {
            if (c.kind != Control::Kind::TextBox || c.field.isEmpty())
                continue;
            if (m_checked.insert(&c).second)
                boundText(c);
            allChecked = allChecked && m_checked.contains(&c);
        }
        if (allChecked)
            m_checkedBands.push_back(&band);
    }

    void placeItems(const Section& band) {
        const int left = m_layout.margins().left();
        std::vector<const Control*> order;
        for (const Control& c : band.controls)
            order.push_back(&c);
        std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
            return a->twips.top() != b->twips.top() ? a->twips.top() < b->twips.top()
                                                    : a->twips.left() < b->twips.left();
        });
        for (const Control* c : order) {
            PlacedItem item;
            item.twips = c->twips.translated(left, m_y);
            item.style = c->style;
            item.lineWidth = c->lineWidth;
            switch (c->kind) {
            case Control::Kind::Label:
                item.text = withPageFields(c->caption);
                break;
            case Control::Kind::TextBox:
                item.text = boundText(*c);
                item.fromData = true;
                break;
            case Control::Kind::Line:
                item.kind = PlacedItem::Kind::Line;
                break;
            case Control::Kind::Box:
                item.kind = PlacedItem::Kind::Box;
                break;
            }
            m_page.items.push_back(std::move(item));
        }
    }

    QString withPageFields(QString text) const {
        if (text.contains(QLatin1String("%p")) || text.contains(QLatin1String("%P")) ||
            text.contains(QLatin1String("%D")))
            text.replace(QLatin1String("%p"), QString::number(m_pageIndex + 1))
                .replace(QLatin1String("%P"), QString::number(pageCount()))
                .replace(QLatin1String("%D"), defaultDate(m_printDate));
        return text;
    }

    QString boundText(const Control& c) const {
        if (c.field.isEmpty())
            return {};
        const int depth = int(m_path.indexOf(c.dataMember));
        const Position* at = nullptr;
        if (depth >= 0 && m_levels[size_t(depth)].rows)
            at = &m_levels[size_t(depth)];
        if (!at) {
            // The band stands outside the rows this text box reads; it is checked where it
            // stands inside them.
            if (m_planning)
                m_checked.erase(&c);
            return {};
        }
        try {
            return valueText(at->rows->value(at->row, c.field), c.format);
        } catch (const store::StoreError&) {
            throw ReportError(QStringLiteral("The report layout \"%1\": \"%2\" reads the field "
                                             "\"%3\", which the report's data does not have.")
                                  .arg(m_layout.name(), c.name, c.field));
        }
    }

    const Layout m_layout;
    const store::ShapedRows m_data;
    QDate m_printDate;
    QStringList m_path;
    store::BulkVector<Step> m_steps; // a step for each row of a large report: in bulk memory
    std::vector<PageStart> m_pageStarts;
    mutable std::unordered_set<const Control*> m_checked;
    std::vector<const Section*> m_checkedBands;
    // The walk as it stands.
    bool m_planning = false;
    std::vector<Position> m_levels;
    Page m_page;
    int m_pageIndex = 0;
    const Section* m_header = nullptr;
    const Section* m_footer = nullptr;
    int m_top = 0;
    int m_y = 0;
    int m_bodyTop = 0;
    int m_bodyBottom = 0;
    int m_innerDepth = -1;
    int m_outerDepth = -1;
    bool m_headerPending = false;
};

// The pages of a report laid out one at a time; the page last asked for is kept, as a screen
// paints the same page many times.
class OnDemandPages : public PageSource {
public:
    explicit OnDemandPages(std::unique_ptr<Paginator> paginator)
        : m_paginator(std::move(paginator)) {}

    int pageCount() const override { return m_paginator->pageCount(); }

    Page page(int index) const override {
        if (m_lastIndex != index) {
            m_last = m_paginator->layOut(index);
            m_lastIndex = index;
        }
        return m_last;
    }

private:
    std::unique_ptr<Paginator> m_paginator;
    mutable Page m_last;
    mutable int m_lastIndex = -1;
};

PagedReport reportShell(const Layout& layout) {
    PagedReport report;
    report.title = layout.title();
    report.paper = layout.paper();
    return report;
}

} // namespace

PagedReport paginate(const Layout& layout, const store::ShapedRows& data, const QDate& printDate) {
    Paginator paginator(layout, data, printDate);
    PagedReport report = reportShell(layout);
    for (int p = 0; p < paginator.pageCount(); ++p)
        report.pages.push_back(paginator.layOut(p));
    return report;
}

PagedReport paginateOnDemand(Layout layout, store::ShapedRows data, const QDate& printDate) {
    auto paginator = std::make_unique<Paginator>(std::move(layout), std::move(data), printDate);
    PagedReport report = reportShell(paginator->layout());
    report.source = std::make_shared<const OnDemandPages>(std::move(paginator));
    return report;
}

} // namespace reports
