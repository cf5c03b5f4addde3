#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "columnsample.h"
#include "fieldselect.h"
#include "io.h"
#include "ripplan.h"

namespace kolvane {

// What the start of one source holds, as the engine reads it, and what the
// settings make of it: the names its header record gives, what one of its
// records gives, and why every result is empty. The window (its hints, the
// preview's tooltip, the column grid) and the command line (its header
// errors, its warning after a rip of empty results) ask it alike; it holds
// no Qt and reads nothing itself.
class SourceSession {
  public:
    // The source's first lines, as readSample() keeps them; empty when unknown.
    void setSample(SampleText sample);
    const SampleText& sample() const { return sample_; }
    // The header record is the one a rip read whole (useHeader()), by its
    // dialect; until then (and for another dialect) the sample's first record
    // stands for it, or without a sample the source's first line, as the
    // preview shows it.
    void setFirstLine(std::optional<std::string> line);
    void forget();

    // A header record read for a rip: the source from the record after it,
    // or from the header itself when the rip rips it; the source lines the
    // header spans where it is not ripped; the record and its names.
    struct TakenHeader {
        std::unique_ptr<ByteSource> rest;
        std::int64_t lines = 0;
        Dialect dialect;
        std::string record;
        std::vector<std::string> names;
    };
    // Reads the header record of `source` by `dialect`. Touches no session,
    // so it may run on a thread of its own while the session answers: a
    // header may be hundreds of MB. `keepGoing` is asked before every read;
    // false gives up with what was read. The one way both front ends read a
    // header; useHeader() makes it this session's.
    static Expected<TakenHeader> readHeader(std::unique_ptr<ByteSource> source,
                                            const std::string& sourceName, const Dialect& dialect,
                                            bool ripIt, const std::function<bool()>& keepGoing);
    // Takes `header` as this session's header record, and gives its source.
    std::unique_ptr<ByteSource> useHeader(TakenHeader header);
    // For a rip: `source` again, keeping the first bytes read through it as
    // this session's sample where it has none, once the rip is done
    // (useRipStart()): a path typed by hand, a pipe.
    std::unique_ptr<ByteSource> keepStart(std::unique_ptr<ByteSource> source);
    void useRipStart();

    // The header record's names as `dialect` reads them; nullopt while no
    // record is known. Worked out once for each dialect asked.
    const std::vector<std::string>* names(const Dialect& dialect) const;
    // The header record as `dialect` reads it (the sample's first record).
    std::optional<std::string_view> headerRecord(const Dialect& dialect) const;

    // The sample's records after the header record (with names on); without
    // a sample, the first line.
    std::vector<SampleRecord> records(const Dialect& dialect, bool namesOn, std::size_t maxRecords,
                                      std::size_t maxFields) const;

    // The field list a rip takes from the window's box now, lenient, with
    // names on turned into columns; nullopt list for a blank box.
    FieldSelection fields(const Settings& settings, bool namesOn) const;
    // `settings` with a template's names turned into numbers, as a rip takes it.
    Settings resolved(Settings settings, bool namesOn) const;

    // What one record gives: its values (unquoted in quoted mode) up to
    // `maxValues`, how many fields it has, and the result line the settings
    // give for it, or that the skip rule drops it.
    struct Gives {
        std::vector<std::string> values;
        std::size_t fields = 0;
        std::string result;
        bool skipped = false;
    };
    Gives gives(std::string_view record, const Settings& settings, const FieldList& list,
                std::size_t maxValues) const;

    // Why every result of the sample's records is empty, found in this
    // order: a field list entry gives no field, the split string never
    // occurs, every chosen field lies beyond the records' fields, or the
    // chosen values are blank. Empty when the records give some value.
    std::string whyEmpty(const Settings& settings, bool namesOn, const FieldList& list) const;

  private:
    SampleText sample_;
    std::optional<std::pair<Dialect, std::string>> header_;
    std::optional<std::string> firstLine_;
    std::string ripStart_;  // the first bytes the last rip read
    mutable std::optional<std::pair<Dialect, std::vector<std::string>>> names_;
};

// What a header of one field says when the split string never occurs in it:
// the words for a name the header lacks. Empty otherwise.
std::string splitAbsentFromHeader(std::string_view record, const std::vector<std::string>& names,
                                  const Dialect& dialect);

}  // namespace kolvane
