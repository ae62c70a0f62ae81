#include "ShellHarness.h"

#include "app/AppSetup.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlError>
#include <QQmlExpression>
#include <QStyleHints>
#include <QTest>

#include <utility>

namespace {

QtMessageHandler g_previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        ShellHarness::problems() << QStringLiteral("[%1] %2").arg(
            QString::fromLatin1(context.category), message);
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

QStringList& ShellHarness::problems()
{
    static QStringList list;
    return list;
}

void ShellHarness::installMessageHandler()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    AppSetup::apply();
    g_previousHandler = qInstallMessageHandler(recordMessage);
}

ShellHarness::ShellHarness()
    : m_db(std::make_unique<TestDatabase>())
{
    connect(m_db->db(), &Database::databaseError, this,
            [](const QString& error) { problems() << QStringLiteral("[database] ") + error; });
}

ShellHarness::~ShellHarness()
{
    // QML goes first, as in the application.
    m_engine.reset();
    m_backend.reset();
    m_db.reset();
}

QString ShellHarness::newAdminPassword()
{
    return QStringLiteral("Nakheel-Office-2024");
}

bool ShellHarness::startSignedIn(std::unique_ptr<Desktop> desktop)
{
    if (!m_db->isOpen())
        return false;
    if (!m_keepSetup && !m_db->db()->execNonQuery(QStringLiteral(
                            "INSERT INTO settings (key, value) VALUES ('setup_state', 'done') "
                            "ON CONFLICT (key) DO UPDATE SET value=excluded.value")))
        return false;
    // A desktop given here wins over one set earlier with useDesktop().
    m_backend = std::make_unique<AppContext>(m_db->db(), m_db->dir(),
                                             desktop ? std::move(desktop) : std::move(m_desktop));
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_backend->publish(m_engine->rootContext());
    connect(m_engine.get(), &QQmlEngine::warnings, this, [](const QList<QQmlError>& errors) {
        for (const QQmlError& e : errors)
            problems() << QStringLiteral("[engine] ") + e.toString();
    });
    m_engine->load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    if (m_engine->rootObjects().size() != 1)
        return false;
    m_window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().constFirst());
    if (!m_window || !QTest::qWaitForWindowExposed(m_window))
        return false;
    QQuickItem* button = nullptr;
    if (!QTest::qWaitFor([&] { return (button = find(QStringLiteral("loginButton"))); }))
        return false;
    // Nothing is filled in: the administrator signs in with the default
    // password, and a new one is chosen when the page asks for it.
    if (!typeInto(find(QStringLiteral("usernameField")), QStringLiteral("admin")) ||
        !typeInto(find(QStringLiteral("passwordField")), QStringLiteral("vexil")))
        return false;
    click(button);
    // The password is checked off the window's thread.
    QObject* auth = backend(QStringLiteral("authCtrl"));
    if (!QTest::qWaitFor([&] { return !auth->property("checkingPassword").toBool(); }))
        return false;
    QQuickItem* newPassword = find(QStringLiteral("newPasswordField"));
    if (newPassword && newPassword->isVisible()) {
        if (!typeInto(newPassword, newAdminPassword()) ||
            !typeInto(find(QStringLiteral("repeatPasswordField")), newAdminPassword()))
            return false;
        click(button);
    }
    return QTest::qWaitFor([&] { return shellShown(); });
}

bool ShellHarness::shellShown() const
{
    QQuickItem* stack = find(QStringLiteral("stackView"));
    auto* current = stack ? stack->property("currentItem").value<QObject*>() : nullptr;
    return current &&
           current->objectName() == QLatin1String(m_keepSetup ? "setupPage" : "mainApp") &&
           !stack->property("busy").toBool();
}

bool ShellHarness::signOutAndIn(const QString& name, const QString& password)
{
    if (!click(find(QStringLiteral("logoutButton"))))
        return false;
    QQuickItem* button = nullptr;
    if (!QTest::qWaitFor([&] {
            button = find(QStringLiteral("loginButton"));
            return button && button->isVisible() &&
                   !find(QStringLiteral("stackView"))->property("busy").toBool();
        }))
        return false;
    if (!typeInto(find(QStringLiteral("usernameField")), name) ||
        !typeInto(find(QStringLiteral("passwordField")), password))
        return false;
    click(button);
    return QTest::qWaitFor([&] { return shellShown(); });
}

QObject* ShellHarness::backend(const QString& contextProperty) const
{
    return m_engine->rootContext()->contextProperty(contextProperty).value<QObject*>();
}

QVariant ShellHarness::evaluate(const QString& script)
{
    QQmlExpression expression(m_engine->rootContext(), nullptr, script);
    const QVariant result = expression.evaluate();
    if (expression.hasError())
        problems() << script + QStringLiteral(": ") + expression.error().toString();
    return result;
}

QQuickItem* ShellHarness::search(QQuickItem* from, const QString& name)
{
    if (from->objectName() == name)
        return from;
    const QList<QQuickItem*> children = from->childItems();
    for (QQuickItem* child : children) {
        if (QQuickItem* found = search(child, name))
            return found;
    }
    return nullptr;
}

void ShellHarness::searchAll(QQuickItem* from, const QString& name, QList<QQuickItem*>& found)
{
    if (from->objectName() == name)
        found << from;
    const QList<QQuickItem*> children = from->childItems();
    for (QQuickItem* child : children)
        searchAll(child, name, found);
}

QQuickItem* ShellHarness::find(const QString& name, QQuickItem* within) const
{
    // Popups live in the window's overlay, which is a child of contentItem's
    // parent, so the search starts at the root item.
    QQuickItem* root = within ? within : m_window->contentItem()->parentItem();
    return search(root ? root : m_window->contentItem(), name);
}

QList<QQuickItem*> ShellHarness::findAll(const QString& name, QQuickItem* within) const
{
    QList<QQuickItem*> found;
    QQuickItem* root = within ? within : m_window->contentItem()->parentItem();
    searchAll(root ? root : m_window->contentItem(), name, found);
    return found;
}

QObject* ShellHarness::object(const QString& name) const
{
    // Several pages have their own dialog of a kind (a confirmation, say):
    // the one on screen is the one meant.
    const QList<QObject*> all = m_window->findChildren<QObject*>(name);
    for (QObject* candidate : all) {
        if (candidate->property("visible").toBool())
            return candidate;
    }
    return all.isEmpty() ? nullptr : all.constFirst();
}

bool ShellHarness::waitOpened(const QString& dialog)
{
    return QTest::qWaitFor([&] {
        QObject* popup = object(dialog);
        return popup && popup->property("opened").toBool();
    });
}

bool ShellHarness::waitClosed(const QString& dialog)
{
    QObject* popup = object(dialog);
    return popup && QTest::qWaitFor([&] { return !popup->property("visible").toBool(); });
}

bool ShellHarness::settled(const QString& dialog, bool open)
{
    return QTest::qWaitFor([&] {
        QObject* d = shownPageDialog(dialog);
        return d && d->property("opened").toBool() == open &&
               d->property("visible").toBool() == open;
    });
}

QQuickItem* ShellHarness::dialogContent(const QString& dialog) const
{
    QObject* d = shownPageDialog(dialog);
    return d ? d->property("contentItem").value<QQuickItem*>() : nullptr;
}

bool ShellHarness::showPage(int index)
{
    QObject* menu = find(QStringLiteral("sideBarMenu"));
    if (!menu)
        return false;
    // Entries name their page; the menu's order is the side bar's own.
    QVariant position = index;
    if (QObject* sideBar = find(QStringLiteral("sideBar")))
        QMetaObject::invokeMethod(sideBar, "positionOf", Q_RETURN_ARG(QVariant, position),
                                  Q_ARG(QVariant, index));
    QMetaObject::invokeMethod(menu, "positionViewAtIndex", Q_ARG(int, position.toInt()),
                              Q_ARG(int, 4 /* ListView.Contain */));
    if (!click(find(QStringLiteral("menuEntry_%1").arg(index))))
        return false;
    return find(QStringLiteral("pageStack"))->property("currentIndex").toInt() == index;
}

bool ShellHarness::click(QQuickItem* target)
{
    if (!target || !target->isVisible())
        return false;
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    if (!QRectF(QPointF(), m_window->size()).contains(centre))
        return false;
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

bool ShellHarness::typeInto(QQuickItem* field, const QString& text)
{
    if (!field)
        return false;
    // MTextField and SearchBar expose their inner TextField as `input`.
    auto* input = field->property("input").value<QQuickItem*>();
    if (!input)
        input = field;
    if (!click(input) || !QTest::qWaitFor([&] { return input->hasActiveFocus(); }))
        return false;
    QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_window, Qt::Key_Delete);
    // keyClicks() only handles Latin-1; send each character with its text.
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, m_window, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    return input->property("text").toString() == text;
}

bool ShellHarness::choose(QQuickItem* combo, int index)
{
    auto* box = combo ? combo->property("input").value<QQuickItem*>() : nullptr;
    if (!box || !click(box))
        return false;
    QObject* popup = box->property("popup").value<QObject*>();
    if (!popup || !QTest::qWaitFor([&] { return popup->property("opened").toBool(); }))
        return false;
    auto* list = popup->property("contentItem").value<QQuickItem*>();
    if (!list)
        return false;
    // A second click soon after the one that opened the list would count as
    // a double click, which the entry does not take as a choice.
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
    // The list grows to its content once laid out; until then it may hold
    // only its first entries.
    QQuickItem* option = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, index),
                                  Q_ARG(int, 4 /* ListView.Contain */));
        QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem*, option),
                                  Q_ARG(int, index));
        return option != nullptr;
    });
    if (!shown || !click(option))
        return false;
    return QTest::qWaitFor([&] { return !popup->property("visible").toBool(); }) &&
           box->property("currentIndex").toInt() == index;
}

QQuickItem* ShellHarness::waitVisible(const QString& name, QQuickItem* within, int timeout)
{
    QQuickItem* item = nullptr;
    const bool shown =
        QTest::qWaitFor([&] { return (item = find(name, within)) && item->isVisible(); }, timeout);
    return shown ? item : nullptr;
}

QObject* ShellHarness::dialogUnder(QQuickItem* from, const QString& name)
{
    if (!from)
        return nullptr;
    if (QObject* d = from->findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return d;
    const QList<QQuickItem*> children = from->childItems();
    for (QQuickItem* child : children)
        if (QObject* d = dialogUnder(child, name))
            return d;
    return nullptr;
}

QObject* ShellHarness::shownPageDialog(const QString& name) const
{
    QQuickItem* stack = find(QStringLiteral("pageStack"));
    const QList<QQuickItem*> pages = stack ? stack->childItems() : QList<QQuickItem*>();
    for (QQuickItem* page : pages)
        if (page->isVisible())
            if (QObject* d = dialogUnder(page, name))
                return d;
    QQuickItem* root = m_window->contentItem();
    return dialogUnder(root->parentItem() ? root->parentItem() : root, name);
}
