#pragma once
// `TElevationMaskForm`: the small dialog of the satellites window that edits the elevation
// mask for position computation.
#include <QDialog>

class QLineEdit;

namespace telvor {

class TElevationMaskForm : public QDialog {
    Q_OBJECT
public:
    explicit TElevationMaskForm(int mask, QWidget* parent = nullptr);

    // After "OK": the typed value as the mask rules read it.
    int mask() const { return mask_; }

private:
    void okClick();

    QLineEdit* edit_;
    int mask_;
};

} // namespace telvor
