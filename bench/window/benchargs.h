#pragma once

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "commondialog.h"

// Every dialog confirms `answer` at once.
class AnsweringDialogs : public kolvane::FileDialogs {
  public:
    QString answer;
    std::optional<QString> showOpen(QWidget*, const QString&) override { return answer; }
    std::optional<QString> showSave(QWidget*, const QString&, kolvane::SaveKind) override {
        return answer;
    }
};

// What both window benchmarks take: the reference file and how many rounds to
// keep the best of.
struct BenchArgs {
    QString reference;  // absolute path
    int rounds = 0;
};

// Reads `NAME REFERENCE [ROUNDS]`; prints why and returns nothing when the
// arguments do not fit.
inline std::optional<BenchArgs> benchArgs(const char* name, int argc, char** argv,
                                          int defaultRounds) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s REFERENCE [ROUNDS]\n", name);
        return std::nullopt;
    }
    BenchArgs args{QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath(),
                   argc == 3 ? std::max(1, std::atoi(argv[2])) : defaultRounds};
    if (!QFileInfo(args.reference).isFile()) {
        std::fprintf(stderr, "%s: no reference file %s\n", name, argv[1]);
        return std::nullopt;
    }
    return args;
}
