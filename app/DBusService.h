#pragma once

// The program's face on the session bus: the three text services that desktop shortcuts and
// scripts call, vorlex: URLs, and the argument a second launch hands to the running instance.
// Owning the well-known name is also what makes this the one running instance.

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

namespace vorlex {

class AppDelegate;

class DBusService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vorlex.Vorlex")

public:
    static constexpr const char* serviceName = "org.vorlex.Vorlex";
    static constexpr const char* objectPath = "/org/vorlex/Vorlex";
    static constexpr const char* interfaceName = "org.vorlex.Vorlex";

    enum class Registration { registered, nameTaken, noBus };

    explicit DBusService(AppDelegate* appDelegate, QObject* parent = nullptr);
    ~DBusService() override; // gives the name and the object back

    // Exports the object first and only then asks for the name, so whoever sees the name can call
    // the object at once. The name is never queued for and never taken from its owner.
    Registration registerOn(QDBusConnection bus);
    bool isRegistered() const { return ownsName; }

    // What a later launch does before it shows anything: when another process owns the name it is
    // handed the first argument (if there is one; "--open-url URL" and "--hotkey NAME" go to OpenURL
    // and RunHotkeyAction) and true comes back, meaning "exit now". False
    // when there is no bus or nobody owns the name (or the owner vanished meanwhile): start normally.
    static bool forwardToRunningInstance(QDBusConnection bus, const QStringList& arguments);

    // The D-Bus methods. Each returns at once; the work (a popup, a translation) goes on on the
    // UI thread afterwards. Named as callers see them on the bus.
public Q_SLOTS:
    Q_SCRIPTABLE void TranslateText(const QString& text);
    Q_SCRIPTABLE void ConvertKeyboardLayout(const QString& text);
    Q_SCRIPTABLE void TranslateAndReplace(const QString& text);
    Q_SCRIPTABLE void OpenURL(const QString& url);
    Q_SCRIPTABLE void HandleArgument(const QString& argument);
    // "translate", "layout" or "replace": what that hotkey does, capture included.
    Q_SCRIPTABLE void RunHotkeyAction(const QString& name);

private:
    QPointer<AppDelegate> appDelegate; // weak: the controller owns this object
    QDBusConnection connection{QString()};
    bool exported = false;
    bool ownsName = false;
};

} // namespace vorlex
