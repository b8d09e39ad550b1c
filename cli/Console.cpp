#include "Console.h"

#include <string>

namespace cli::console {

std::optional<QString> readInputLine()
{
    std::string line;
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n')
        line.push_back(char(c));
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromUtf8(line.data(), qsizetype(line.size()));
}

}  // namespace cli::console
