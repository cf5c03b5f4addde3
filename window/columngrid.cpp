#include "columngrid.h"
#include "columnmodel.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "displaytext.h"
#include "elidinglabel.h"
#include "fieldtip.h"
#include "sourceopen.h"

namespace kolvane {

namespace {

// Characters of a result shown before the rest is cut off.
constexpr qsizetype kResultChars = 80;
// Rows the grid shows at once, and its pause before a refresh: well within
// the 50 ms a change may take to show.
constexpr int kRowsShown = 7;
constexpr std::chrono::milliseconds kPause{15};
// A load waits for no sample: the preview's own wait is all that a load
// may hold up the window.
constexpr std::chrono::milliseconds kAnswerWait{0};

// A name fit for "[name]": a template reads brackets of digits as numbers.
bool placeholderName(const QString& name) {
    bool number = false;
    name.toLongLong(&number);
    return !name.isEmpty() && !number && !name.contains(QLatin1Char('[')) &&
           !name.contains(QLatin1Char(']'));
}

// Each of `columns` fields' places in the result (1 for the first value), in
// the order the result has them.
std::vector<std::vector<std::size_t>> placesIn(const Settings& settings, const FieldList& fields,
                                               std::size_t columns) {
    std::vector<std::vector<std::size_t>> places(columns);
    std::size_t place = 0;
    auto mark = [&](std::size_t field) {
        ++place;
        if (field >= 1 && field <= columns) places[field - 1].push_back(place);
    };
    if (settings.templateMode) {
        std::vector<TemplatePart> parts;
        parseTemplate(settings.fields, parts);
        for (const TemplatePart& part : parts) {
            if (part.field > 0) mark(part.field);
        }
        return places;
    }
    for (const FieldRange& range : fields.entries()) {
        if (range.first < 1 || range.last < range.first) {
            mark(0);
            continue;
        }
        // A bounded range gives every field it names, empty past the record.
        const auto last = range.last == FieldList::kToLastField ? columns : std::size_t(range.last);
        for (auto field = std::size_t(range.first); field <= last; ++field) mark(field);
    }
    return places;
}

}  // namespace

ColumnGrid::ColumnGrid(QLineEdit* fieldsEdit, Sources sources, QWidget* parent)
    : QWidget(parent), fieldsEdit_(fieldsEdit), sources_(std::move(sources)) {
    showColumnsCheck = new QCheckBox(QStringLiteral("Show columns"));
    showColumnsCheck->setObjectName(QStringLiteral("showColumnsCheck"));
    showColumnsCheck->setChecked(true);
    noteLabel = new ElidingLabel;
    noteLabel->setObjectName(QStringLiteral("columnNoteLabel"));
    auto* top = new QHBoxLayout;
    top->addWidget(showColumnsCheck);
    top->addWidget(noteLabel, 1);

    model_ = new ColumnModel(this);
    columnTable = new QTableView;
    columnTable->setObjectName(QStringLiteral("columnGrid"));
    columnTable->setAccessibleName(QStringLiteral("Columns of the first lines"));
    columnTable->setModel(model_);
    columnTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The current cell's column is the one Space toggles; the chosen ones
    // are marked by their tint, so no selection is shown besides.
    columnTable->setSelectionMode(QAbstractItemView::NoSelection);
    // Tab leaves the grid: the arrows move in it.
    columnTable->setTabKeyNavigation(false);
    columnTable->setWordWrap(false);
    columnTable->installEventFilter(this);
    QHeaderView* header = columnTable->horizontalHeader();
    header->setSectionsClickable(true);
    // Widths from the first rows only, within bounds: measuring every cell
    // of a wide sample would hold up the window.
    header->setResizeContentsPrecision(20);
    header->setMaximumSectionSize(fontMetrics().averageCharWidth() * 36);
    columnTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // A few rows at most, so the result list keeps its room; on a small
    // screen the grid gives up rows too, down to one, before anything scrolls.
    const auto rowsHigh = [&](int rows) {
        return columnTable->verticalHeader()->defaultSectionSize() * rows +
               header->sizeHint().height() + 2 * columnTable->frameWidth() + 4;
    };
    columnTable->setMinimumHeight(rowsHigh(1));
    columnTable->setMaximumHeight(rowsHigh(kRowsShown) +
                                  columnTable->horizontalScrollBar()->sizeHint().height());
    columnTable->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    connect(header, &QHeaderView::sectionClicked, this, &ColumnGrid::toggle);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(columnTable);

    pause_ = new QTimer(this);
    pause_->setSingleShot(true);
    pause_->setInterval(kPause);
    connect(pause_, &QTimer::timeout, this, &ColumnGrid::refresh);
    connect(showColumnsCheck, &QCheckBox::toggled, this, [this](bool on) {
        columnTable->setVisible(on);
        if (on) refresh();
    });
}

void ColumnGrid::setHeaderNames(bool on) {
    header_ = on;
    refreshSoon();
}

void ColumnGrid::refreshSoon() {
    if (showColumnsCheck->isChecked()) pause_->start();
}

void ColumnGrid::loadSource(const std::string& path) {
    reader_.drop();
    sources_.session->setSample({});
    refresh();
    readNote_ = path.empty() ? QString() : QStringLiteral("Reading the first lines...");
    noteLabel->setText(readNote_);
    if (path.empty()) return;
    auto read = [this, path]() -> Expected<SampleText> {
        auto text = openForLook(path);
        if (!text) return text.error();
        return readSample(**text, path, SampleText::Limits{}, &reader_.cancelled());
    };
    auto show = [this](Expected<SampleText> answer) {
        readNote_ = answer ? QString() : QString::fromStdString(answer.error().message());
        if (answer) sources_.session->setSample(std::move(*answer));
        noteLabel->setText(readNote_);
        refresh();
        emit sampleRead();
    };
    reader_.start(this, std::move(read), std::move(show), kAnswerWait);
}

void ColumnGrid::refresh() {
    pause_->stop();
    if (!showColumnsCheck->isChecked()) return;
    const SourceSession& session = *sources_.session;
    const Settings settings = sources_.settings();
    std::vector<SampleRecord> records =
        session.records(settings.dialect(), header_, kRecords, kColumns);
    const auto* names = header_ ? session.names(settings.dialect()) : nullptr;
    names_ = names != nullptr ? *names : std::vector<std::string>{};
    ColumnModel::Content content;
    std::size_t widest = names_.size();
    for (const SampleRecord& record : records) widest = std::max(widest, record.fieldCount);
    const std::size_t columns = std::min(widest, kColumns);
    if (readNote_.isEmpty()) {
        QStringList notes;
        if (session.sample().cut()) notes << QStringLiteral("Long lines are shown cut.");
        if (widest > columns) {
            notes
                << QStringLiteral("The first %1 of %2 fields are shown.").arg(columns).arg(widest);
        }
        noteLabel->setText(notes.join(QLatin1Char(' ')));
    }
    for (std::size_t k = 0; k < columns; ++k) {
        content.headers.push_back(
            k < names_.size() && !names_[k].empty()
                ? QStringLiteral("%1 %2").arg(k + 1).arg(displayStart(names_[k], kCellChars))
                : QString::number(k + 1));
    }

    // The field list and the names as a rip reads them, and what they cannot give.
    const FieldSelection selected = session.fields(settings, header_);
    const FieldList fields = selected.list.value_or(sources_.lastParse());
    if (!settings.templateMode) {
        content.resultTip = fieldsWarning(selected.problems, ShownAs::utf8);
    } else if (names != nullptr) {
        const auto templ = resolveTemplateNames(sources_.typedTemplate(), *names);
        if (templ.index() == 1) content.resultTip = QString::fromStdString(std::get<1>(templ));
    }
    content.places = placesIn(settings, fields, columns);
    for (const SampleRecord& record : records) {
        // What the missing part of a record held may change any value of it.
        if (record.cut) {
            content.results.push_back(QStringLiteral("(record shown cut: rip to see its result)"));
            continue;
        }
        const SourceSession::Gives gives = session.gives(record.bytes, settings, fields, 0);
        content.results.push_back(gives.skipped
                                      ? QStringLiteral("(skipped: a value is blank)")
                                      : oneLine(displayStart(gives.result, kResultChars)));
    }
    content.rows = std::move(records);
    content.quoted = settings.quoted;
    const int current = columnTable->currentIndex().column();
    model_->set(std::move(content));
    columnTable->resizeColumnsToContents();
    if (model_->rowCount() > 0) {
        columnTable->setCurrentIndex(
            model_->index(0, std::clamp(current, 0, model_->fieldColumns() - 1)));
    }
}

void ColumnGrid::toggle(int column) {
    if (column < 0 || column >= model_->fieldColumns() || !fieldsEdit_->isEnabled()) return;
    const int field = column + 1;
    const QString number = QString::number(field);
    const QString name = std::size_t(column) < names_.size()
                             ? QString::fromUtf8(names_[std::size_t(column)])
                             : QString();
    const QString text = fieldsEdit_->text();
    QString kept;
    if (sources_.settings().templateMode) {
        kept = text;
        kept.remove(QLatin1Char('[') + number + QLatin1Char(']'));
        if (placeholderName(name)) kept.remove(QLatin1Char('[') + name + QLatin1Char(']'));
        if (kept == text) {
            fieldsEdit_->insert(QLatin1Char('[') + (placeholderName(name) ? name : number) +
                                QLatin1Char(']'));
            return;
        }
    } else {
        QStringList entries = text.split(QLatin1Char(','));
        const auto before = entries.size();
        // An entry goes when the box's own reading of it gives this field.
        entries.removeIf([&](const QString& entry) {
            const auto one = selectFields(entry.toStdString(), FieldReading::lenient, header_,
                                          header_ ? &names_ : nullptr);
            return one.list && one.list->size() == 1 && one.list->entries()[0].first == field;
        });
        if (entries.size() == before) {
            const bool comma =
                !text.trimmed().isEmpty() && !text.trimmed().endsWith(QLatin1Char(','));
            fieldsEdit_->end(false);
            fieldsEdit_->insert(comma ? QLatin1Char(',') + number : number);
            return;
        }
        kept = entries.join(QLatin1Char(','));
    }
    // Through the box's own editing, so that Ctrl+Z brings the field back.
    fieldsEdit_->selectAll();
    fieldsEdit_->insert(kept);
}

bool ColumnGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == columnTable && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        toggle(columnTable->currentIndex().column());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kolvane
