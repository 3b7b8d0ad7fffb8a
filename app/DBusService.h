#pragma once

// The program's face on the session bus: the three text services that desktop shortcuts and
// scripts call, vorlex: URLs, and the request a later launch hands to the running instance.
// Owning the well-known name is also what makes this the one running instance.

#include "LaunchRequest.h"
#include "TranslationViewController.h"

#include <QDBusConnection>
#include <QObject>
#include <QRect>
#include <QString>

namespace vorlex {

class DBusService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vorlex.Vorlex")

public:
    enum class Registration { registered, nameTaken, noBus };

    explicit DBusService(QObject* parent = nullptr);
    ~DBusService() override; // gives the name and the object back

    // Exports the object first and only then asks for the name, so whoever sees the name can call
    // the object at once. The name is never queued for and never taken from its owner.
    Registration registerOn(QDBusConnection bus);

    // Makes this process the one instance, or hands request to the one that is: true when this
    // process goes on (also without a bus), false once another instance has the request and this
    // one should end. Any number of launches at the same instant leave one instance.
    bool claimInstance(QDBusConnection bus, const LaunchRequest& request);

signals:
    // What the calls ask for; the work runs on the UI thread after each call has returned.
    void showRequested(TranslationMode mode, const QString& text);
    void replaceRequested(const QString& text);
    void launchRequested(const LaunchRequest& request);
    // An area of the screen whose text the popup translates.
    void screenAreaRequested(const QRect& area);

    // The D-Bus methods, named as callers see them on the bus. Each returns at once. The text
    // services ignore an empty text.
public Q_SLOTS:
    Q_SCRIPTABLE void TranslateText(const QString& text);
    Q_SCRIPTABLE void ConvertKeyboardLayout(const QString& text);
    Q_SCRIPTABLE void TranslateAndReplace(const QString& text);
    Q_SCRIPTABLE void OpenURL(const QString& url);
    Q_SCRIPTABLE void HandleArgument(const QString& argument);
    // "translate", "layout", "replace" or "screen": what that hotkey does, capture included.
    Q_SCRIPTABLE void RunHotkeyAction(const QString& name);
    // The popup on the text read in that rectangle of the screen (pixels), without asking the user.
    // An empty rectangle does nothing.
    Q_SCRIPTABLE void TranslateScreenArea(int x, int y, int width, int height);

private:
    QDBusConnection connection{QString()};
    bool exported = false;
    bool ownsName = false;
};

} // namespace vorlex
