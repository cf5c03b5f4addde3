#pragma once

#include <QLabel>

namespace kolvane {

// A one-line label that, when its text is too long for its place, shows the
// text's start and end with an ellipsis in the middle (so both the file and
// the cause of a message stay readable) and the whole text in its tooltip.
// text() is always the whole text.
class ElidingLabel : public QLabel {
    Q_OBJECT

  public:
    // Plain text, and as wide as its place lets it be: it never widens the row.
    explicit ElidingLabel(QWidget* parent = nullptr);
    bool elided() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

}  // namespace kolvane
