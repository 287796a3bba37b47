#pragma once
// Window tests reach a window's controls by object name, the way a technician reaches them by
// label: the window keeps no accessors for its tests. A name the window does not carry (renamed,
// or the control moved to another window) stops the test program with the name and the window in
// the message, instead of a crash on a null pointer somewhere later.

#include <QObject>
#include <QString>
#include <QtGlobal>
#include <memory>

namespace qvx::test {

template <typename T>
T* Child(const QObject* parent, const char* name) {
    T* child = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!child) {
        qFatal("the test looks for a %s named \"%s\" in %s, which has none", T::staticMetaObject.className(),
               name, parent ? parent->metaObject()->className() : "a window that does not exist");
    }
    return child;
}

template <typename T, typename Window>
T* Child(const std::unique_ptr<Window>& parent, const char* name) {
    return Child<T>(parent.get(), name);
}

}  // namespace qvx::test
