#include "app/docklayout.h"

#include <QWidget>

DockLayout::DockLayout(QWidget *parent)
    : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

DockLayout::~DockLayout()
{
    for (const Entry &e : entries_)
        delete e.item;
}

void DockLayout::addDocked(QWidget *widget, Dock dock, int extent)
{
    addChildWidget(widget);
    entries_.append({new QWidgetItem(widget), dock, extent});
    invalidate();
}

void DockLayout::addItem(QLayoutItem *item)
{
    entries_.append({item, Dock::Client, 0});
}

int DockLayout::count() const
{
    return static_cast<int>(entries_.size());
}

QLayoutItem *DockLayout::itemAt(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem *DockLayout::takeAt(int index)
{
    if (index < 0 || index >= entries_.size())
        return nullptr;
    return entries_.takeAt(index).item;
}

QSize DockLayout::sizeHint() const
{
    return minimumSize();
}

QSize DockLayout::minimumSize() const
{
    int w = 0, h = 0;
    for (const Entry &e : entries_) {
        if (e.item->isEmpty())
            continue;
        if (e.dock == Dock::Top || e.dock == Dock::Bottom)
            h += e.extent;
        else if (e.dock == Dock::Left || e.dock == Dock::Right)
            w += e.extent;
    }
    return {w, h};
}

void DockLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    QRect free = rect;
    for (Dock pass : {Dock::Top, Dock::Bottom, Dock::Left, Dock::Right, Dock::Client}) {
        for (const Entry &e : entries_) {
            if (e.dock != pass || e.item->isEmpty())
                continue;
            switch (pass) {
            case Dock::Top:
                e.item->setGeometry(QRect(free.left(), free.top(), free.width(), e.extent));
                free.setTop(free.top() + e.extent);
                break;
            case Dock::Bottom:
                e.item->setGeometry(QRect(free.left(), free.bottom() - e.extent + 1, free.width(), e.extent));
                free.setBottom(free.bottom() - e.extent);
                break;
            case Dock::Left:
                e.item->setGeometry(QRect(free.left(), free.top(), e.extent, free.height()));
                free.setLeft(free.left() + e.extent);
                break;
            case Dock::Right:
                e.item->setGeometry(QRect(free.right() - e.extent + 1, free.top(), e.extent, free.height()));
                free.setRight(free.right() - e.extent);
                break;
            case Dock::Client:
                e.item->setGeometry(free);
                break;
            }
        }
    }
}
