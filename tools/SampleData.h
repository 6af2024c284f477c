#pragma once

#include <QString>

namespace sample {

struct ShowSample {
    int exhibitors = 400;
    int entries = 2000;
    int classesUsed = 150;
    int placedClasses = 20; // the first classes get placings
    int members = 200;      // exhibitors 1 to this are members M00001, M00002, ...
    unsigned seed = 2026;
};

// Copies the template to a new show file and fills it with classes, entries and placings. An
// exhibitor enters a class at most once, as the entry screen allows.
// Throws store::StoreError; an existing target is never overwritten (returns false then).
bool writeSampleShow(const QString& templateFile, const QString& showFile, const QString& password,
                     const ShowSample& sample);

// Adds members to an organisation file (member numbers M00001, M00002, ...; existing numbers
// are skipped). Returns the number added.
int addSampleMembers(const QString& organisationFile, const QString& password, int members,
                     unsigned seed = 2026);

} // namespace sample
