#pragma once

#include <QLabel>

namespace kolvane {

// A label whose text wraps onto as many lines as its width needs, and never
// fewer than `leastLines`. It asks its layout for their height itself rather
// than telling a height for each width: a label that tells one makes the
// scroll area around the window take every control's preferred height as
// the least it needs, and scroll where everything fits.
class WrappedLabel : public QLabel {
    Q_OBJECT

  public:
    explicit WrappedLabel(const QString& text = QString(), int leastLines = 1);

    bool hasHeightForWidth() const override { return false; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    int heightNeeded() const;

    int leastLines_;
};

}  // namespace kolvane
