// SPDX-License-Identifier: GPL-3.0-or-later
#include "labels.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace {

constexpr char linkProperty[] = "accessibleLink";

class LinkAccessible : public QAccessibleWidget {
public:
    explicit LinkAccessible(QLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QAccessible::Role role() const override
    {
        return isLink() ? QAccessible::Link : QAccessible::StaticText;
    }

    QString text(QAccessible::Text t) const override
    {
        const QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty())
            return static_cast<const QLabel *>(widget())->text();
        return text;
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (isLink())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString &name) override
    {
        if (name != pressAction() || !isLink()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        // The label's owner opens the link on Enter; a press goes the same way.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(widget(), &press);
    }

private:
    bool isLink() const { return widget()->property(linkProperty).toBool(); }
};

QAccessibleInterface *linkAccessible(const QString &, QObject *object)
{
    auto *label = qobject_cast<QLabel *>(object);
    if (label && label->property(linkProperty).isValid())
        return new LinkAccessible(label);
    return nullptr;
}

} // namespace

QLabel *plainLabel(const QString &text, QWidget *parent, const QString &objectName)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void setLinkRole(QLabel *label, bool isLink)
{
    static const bool installed = [] {
        QAccessible::installFactory(&linkAccessible);
        return true;
    }();
    Q_UNUSED(installed)
    label->setProperty(linkProperty, isLink);
    // A label made before the factory was in place may already have the plain interface.
    QAccessibleInterface *existing = QAccessible::queryAccessibleInterface(label);
    if (existing && !dynamic_cast<LinkAccessible *>(existing))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

void enableClearButton(QLineEdit *field)
{
    field->setClearButtonEnabled(true);
    // Qt names the button's action this way, and gives it no text.
    if (auto *clear = field->findChild<QAction *>(u"_q_qlineeditclearaction"_s))
        clear->setText(u"Clear"_s);
}
