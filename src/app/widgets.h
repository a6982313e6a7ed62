// Small widgets of the main window: value fields, clickable pictures and the
// case-blind sorted items of the attachment list.
#pragma once

#include <QLabel>
#include <QListWidgetItem>

// A non-editable field with a fixed size that shows a text the program sets.
// Several values (joined by CR LF) are shown on one line, separated by " | ".
class CampoValore final : public QLabel {
    Q_OBJECT
public:
    CampoValore(QWidget *parent, const QRect &geometry, int pixelSize, QFrame::Shadow bevel);
    void setValore(const QString &valore);
    const QString &valore() const { return valore_; }

private:
    QString valore_;
};

class ImmagineCliccabile final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// Sorted without regard to letter case; tied to an attachment by index.
class VoceAllegato final : public QListWidgetItem {
public:
    VoceAllegato(const QString &nome, int indice);
    int indice() const;
    bool operator<(const QListWidgetItem &other) const override;
};
