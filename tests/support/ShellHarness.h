#pragma once

#include "TestDatabase.h"
#include "app/AppContext.h"
#include "core/Desktop.h"

#include <QObject>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringList>

#include <memory>

// The real main document on the real back-end objects and a fresh temporary
// database, signed in and driven with mouse clicks and typed keys. Every QML
// warning and database error raised meanwhile is collected in problems(), so
// a test can fail on any of them.
class ShellHarness : public QObject
{
    Q_OBJECT

public:
    ShellHarness();
    ~ShellHarness() override;

    // Installs the message handler that collects warnings (once per process).
    static void installMessageHandler();
    static QStringList& problems();

    // Replaces the real desktop (pickers, viewers, restart) before start;
    // tests pass a fake that records what was asked.
    void useDesktop(std::unique_ptr<Desktop> desktop) { m_desktop = std::move(desktop); }

    // A fresh database is a new office, which its first sign-in leads
    // through the setup page. The harness signs in to an office past its
    // setup unless this is called first; then startSignedIn() stops at the
    // setup page.
    void keepFirstRunSetup() { m_keepSetup = true; }

    // Loads the window and signs in with the default administrator; false
    // when the shell (or the setup page, see keepFirstRunSetup) did not appear. `desktop` stands in
    // for the real one (dialogs, viewers, the documents folder) when given.
    bool startSignedIn(std::unique_ptr<Desktop> desktop = nullptr);
    // What startSignedIn() sets as the administrator's password when the
    // login page asks to replace the default one.
    static QString newAdminPassword();
    // Signs out through the side bar and in again as `name` on the login page
    // that comes back; false when the shell did not return.
    bool signOutAndIn(const QString& name, const QString& password);

    TestDatabase& database() { return *m_db; }
    QQuickWindow* window() const { return m_window; }
    QObject* backend(const QString& contextProperty) const;
    // Evaluates a script in the root context, where the back-end objects are
    // published; a script error is recorded in problems().
    QVariant evaluate(const QString& script);

    // The named item in the window or its popups (nullptr when there is none);
    // `within` narrows the search to one subtree.
    QQuickItem* find(const QString& name, QQuickItem* within = nullptr) const;
    QList<QQuickItem*> findAll(const QString& name, QQuickItem* within = nullptr) const;
    // A named non-visual object such as a dialog (Popup), the visible one
    // when several share the name, or nullptr.
    QObject* object(const QString& name) const;
    // Waits up to `timeout` ms for the named item to be visible; nullptr when
    // it never is, so the caller's check reports it.
    QQuickItem* waitVisible(const QString& name, QQuickItem* within = nullptr, int timeout = 3000);
    // Dialogs are popups: not items, but QObject children of the item that
    // declares them, so the visual tree under `from` is walked and each item
    // asked for a direct child of that name.
    static QObject* dialogUnder(QQuickItem* from, const QString& name);
    // Several pages own a dialog of the same name: the shown page's comes
    // first, then any in the window.
    QObject* shownPageDialog(const QString& name) const;
    // Waits until the named dialog has finished opening (or closing).
    bool waitOpened(const QString& dialog);
    bool waitClosed(const QString& dialog);
    // Waits until the shown page's dialog of that name has finished its open
    // (`open`) or close animation.
    bool settled(const QString& dialog, bool open);
    // The content item of the shown page's dialog of that name, or nullptr.
    QQuickItem* dialogContent(const QString& dialog) const;

    // Shows page `index` through its side-bar entry.
    bool showPage(int index);
    // Clicks the centre of a visible item; false when it is hidden or off screen.
    bool click(QQuickItem* target);
    // Clicks a text field, clears it and types `text` key by key.
    bool typeInto(QQuickItem* field, const QString& text);
    // Picks entry `index` of an MComboBox the way a user does (open, choose).
    bool choose(QQuickItem* combo, int index);

private:
    // True once the signed-in shell is the settled current stage.
    bool shellShown() const;
    static QQuickItem* search(QQuickItem* from, const QString& name);
    static void searchAll(QQuickItem* from, const QString& name, QList<QQuickItem*>& found);

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<Desktop> m_desktop;
    std::unique_ptr<AppContext> m_backend;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
    bool m_keepSetup = false;
};
