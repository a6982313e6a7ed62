// A layout that docks children to the sides of their parent in insertion
// order (all tops, then bottoms, lefts, rights) and gives the rest to the
// client: the bands and columns of the main window stretch with the screen
// while their own extents stay fixed.
#pragma once

#include <QLayout>
#include <QList>

class DockLayout final : public QLayout {
public:
    enum class Dock { Top, Bottom, Left, Right, Client };

    explicit DockLayout(QWidget *parent = nullptr);
    ~DockLayout() override;

    // extent: height for Top/Bottom, width for Left/Right; unused for Client.
    void addDocked(QWidget *widget, Dock dock, int extent = 0);

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    struct Entry {
        QLayoutItem *item;
        Dock dock;
        int extent;
    };
    QList<Entry> entries_;
};
