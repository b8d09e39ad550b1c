#pragma once

class QTemporaryDir;

// The check-and-repair window on 500 databases (50 account sets of 10 live years each): how long
// the window waits at most between two turns of its event loop while it checks them, and how long
// until the list is in and until the last row is checked. Prints its table.
void checkWindowRows(const QTemporaryDir &root);
