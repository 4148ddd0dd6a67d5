#pragma once

// The "Missing picture" page's list: each name that found no picture, once, letter case aside.

#include <QObject>

#include <string>
#include <unordered_set>

class QPlainTextEdit;

class TMissingPictureList : public QObject {
public:
    explicit TMissingPictureList(QPlainTextEdit& page);
    // Adds the name unless the page lists it already.
    void Add(const std::string& name);

private:
    QPlainTextEdit& FPage;
    // The names listed, upper case: a map of thousands of unknown classes must not scan the
    // page for each one. An edit of the page by the user makes it read the page anew.
    std::unordered_set<std::string> FNames;
    bool FNamesValid = false;
    bool FAdding = false;
};
