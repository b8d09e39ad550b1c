#pragma once

#include <QByteArray>
#include <QString>

// A Windows shortcut (.lnk) as the shell reads it to start its program ([MS-SHLLINK]): the file
// it points at, from its link information (the local base path and the common path suffix), and
// the strings stored with it. Read from the file's bytes, without Windows.
struct ShellLink {
    QString target;
    QString name;  // the description shown as the shortcut's tip
    QString workingDirectory;
    QString arguments;
    QString iconLocation;
    int iconIndex = 0;
    quint32 showCommand = 0;
    // Why the bytes are no shell link this reader understands; empty when they are one.
    QString error;

    static ShellLink read(const QByteArray &bytes);
};
