#include "app/widgets.h"

#include <QMouseEvent>

CampoValore::CampoValore(QWidget *parent, const QRect &geometry, int pixelSize, QFrame::Shadow bevel)
    : QLabel(parent)
{
    setGeometry(geometry);
    setFixedSize(geometry.size());
    QFont f = font();
    f.setPixelSize(pixelSize);
    setFont(f);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setFrameStyle(QFrame::Panel | bevel);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::NoFocus);
    setTextFormat(Qt::PlainText);
    setIndent(3);
}

void CampoValore::setValore(const QString &valore)
{
    valore_ = valore;
    QString shown = valore;
    shown.replace(QLatin1String("\r\n"), QLatin1String(" | "));
    setText(shown);
    setToolTip(valore.contains(QLatin1Char('\n')) ? valore : QString());
}

void ImmagineCliccabile::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

VoceAllegato::VoceAllegato(const QString &nome, int indice)
    : QListWidgetItem(nome)
{
    setData(Qt::UserRole, indice);
}

int VoceAllegato::indice() const
{
    return data(Qt::UserRole).toInt();
}

bool VoceAllegato::operator<(const QListWidgetItem &other) const
{
    const int c = text().compare(other.text(), Qt::CaseInsensitive);
    return c != 0 ? c < 0 : text() < other.text();
}
