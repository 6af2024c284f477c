#pragma once

#include "common/Printer.h"

namespace reports {

// The system's printers through Qt Print Support.
class SystemPrinter : public Printer {
public:
    void printDirect(const PagedReport& report, int copies) override;
    bool printAsking(const PagedReport& report, QWidget* parent) override;
};

} // namespace reports
