#include "app/MessageBox.h"

#include <QMessageBox>

namespace zyr {

namespace {

MessageBox::Presenter &presenter()
{
    static MessageBox::Presenter p;
    return p;
}

} // namespace

void MessageBox::critical(QWidget *parent, const QString &text, const QString &title)
{
    if (presenter()) {
        presenter()(text, title);
        return;
    }
    showCritical(parent, text, title);
}

void MessageBox::showCritical(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void MessageBox::setPresenter(Presenter p)
{
    presenter() = std::move(p);
}

} // namespace zyr
