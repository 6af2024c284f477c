#pragma once

#include "common/PagedReport.h"
#include "common/Printer.h"
#include "reports/ReportError.h"

#include <functional>
#include <vector>

// A printer for tests: it keeps every job it is given instead of printing it. It can be told
// to fail as a machine without a printer does, and to answer its print dialog.
class CapturePrinter : public reports::Printer {
public:
    struct Job {
        reports::PagedReport report;
        int copies = 1;
        bool asked = false; // through the print dialog
    };

    void printDirect(const reports::PagedReport& report, int copies) override {
        if (duringJob)
            duringJob();
        if (!failure.isEmpty())
            throw reports::ReportError(failure);
        jobs.push_back({report, copies, false});
    }
    bool printAsking(const reports::PagedReport& report, QWidget*) override {
        ++dialogsShown;
        if (!answerPrint)
            return false;
        if (!failure.isEmpty())
            throw reports::ReportError(failure);
        jobs.push_back({report, 1, true});
        return true;
    }

    std::vector<Job> jobs;
    QString failure;         // when set, printing fails with this text
    bool answerPrint = true; // the print dialog's answer
    int dialogsShown = 0;
    std::function<void()> duringJob; // runs while a direct print job is being printed
};
