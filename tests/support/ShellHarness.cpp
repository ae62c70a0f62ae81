#include "ShellHarness.h"

#include <QJSValue>
#include <QQmlContext>
#include <QQmlError>
#include <QQmlExpression>
#include <QTest>

#include <utility>

namespace {

QStringList g_problems;
QtMessageHandler g_previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        g_problems << QStringLiteral("[%1] %2").arg(QString::fromLatin1(context.category), message);
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

QQuickItem* findIn(QQuickItem* from, const QString& name)
{
    if (from->objectName() == name)
        return from;
    const QList<QQuickItem*> children = from->childItems();
    for (QQuickItem* child : children) {
        if (QQuickItem* found = findIn(child, name))
            return found;
    }
    return nullptr;
}

void findAllIn(QQuickItem* from, const QString& name, QList<QQuickItem*>& found)
{
    if (from->objectName() == name)
        found << from;
    const QList<QQuickItem*> children = from->childItems();
    for (QQuickItem* child : children)
        findAllIn(child, name, found);
}

} // namespace

void ShellHarness::installMessageHandler()
{
    g_previousHandler = qInstallMessageHandler(recordMessage);
}

void ShellHarness::uninstallMessageHandler()
{
    qInstallMessageHandler(g_previousHandler);
}

QStringList ShellHarness::takeProblems()
{
    return std::exchange(g_problems, {});
}

ShellHarness::ShellHarness() = default;

ShellHarness::~ShellHarness()
{
    // QML goes first, as in the application.
    m_engine.reset();
    m_backend.reset();
    m_db.reset();
}

bool ShellHarness::start(const Prepare& prepare)
{
    m_db = std::make_unique<TestDatabase>();
    if (!m_db->isOpen())
        return false;
    QObject::connect(m_db->db(), &Database::databaseError, m_db->db(), [](const QString& error) {
        g_problems << QStringLiteral("[database] ") + error;
    });
    if (prepare)
        prepare(*m_db);

    m_backend = std::make_unique<AppContext>(m_db->db(), m_db->dir());
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_backend->publish(m_engine->rootContext());
    QObject::connect(m_engine.get(), &QQmlEngine::warnings, m_engine.get(),
                     [](const QList<QQmlError>& errors) {
                         for (const QQmlError& e : errors)
                             g_problems << QStringLiteral("[engine] ") + e.toString();
                     });
    m_engine->load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    if (m_engine->rootObjects().size() != 1)
        return false;
    m_window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().constFirst());
    return m_window && QTest::qWaitForWindowExposed(m_window);
}

bool ShellHarness::signIn()
{
    auto stageName = [this] {
        QQuickItem* stack = find(QStringLiteral("stackView"));
        QObject* current = stack ? stack->property("currentItem").value<QObject*>() : nullptr;
        return current ? current->objectName() : QString();
    };
    if (!QTest::qWaitFor([&] { return stageName() == QLatin1String("loginPage"); }))
        return false;
    if (!click(find(QStringLiteral("loginButton"))))
        return false;
    return QTest::qWaitFor([&] {
        QQuickItem* stack = find(QStringLiteral("stackView"));
        return stageName() == QLatin1String("mainApp") && !stack->property("busy").toBool();
    });
}

QObject* ShellHarness::contextObject(const QString& name) const
{
    return m_engine->rootContext()->contextProperty(name).value<QObject*>();
}

QVariant ShellHarness::eval(const QString& script)
{
    QQmlExpression expression(m_engine->rootContext(), nullptr, script);
    QVariant result = expression.evaluate();
    if (expression.hasError())
        g_problems << QStringLiteral("[script] ") + script + QStringLiteral(": ") +
                          expression.error().toString();
    // Script arrays and objects come back as QJSValue; callers want plain variants.
    if (result.userType() == qMetaTypeId<QJSValue>())
        result = result.value<QJSValue>().toVariant();
    return result;
}

QQuickItem* ShellHarness::find(const QString& name, QQuickItem* from) const
{
    return findIn(from ? from : m_window->contentItem(), name);
}

QList<QQuickItem*> ShellHarness::findAll(const QString& name, QQuickItem* from) const
{
    QList<QQuickItem*> found;
    findAllIn(from ? from : m_window->contentItem(), name, found);
    return found;
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

bool ShellHarness::openPage(int index)
{
    QQuickItem* menu = find(QStringLiteral("sideBarMenu"));
    if (!menu)
        return false;
    QMetaObject::invokeMethod(menu, "positionViewAtIndex", Q_ARG(int, index),
                              Q_ARG(int, 4 /* ListView.Contain */));
    if (!click(find(QStringLiteral("menuEntry_%1").arg(index))))
        return false;
    QQuickItem* stack = find(QStringLiteral("pageStack"));
    return QTest::qWaitFor([&] { return stack->property("currentIndex").toInt() == index; });
}
