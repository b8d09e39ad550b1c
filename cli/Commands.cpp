#include "Commands.h"

namespace cli {

int run(const Request &request)
{
    switch (request.command) {
    case Command::Check:
        return check(request);
    case Command::RepairEndFlags:
        return request.dryRun ? previewEndFlags(request) : repairEndFlags(request);
    case Command::Journal:
        return journal(request);
    case Command::Undo:
        return undo(request);
    case Command::CheckBalances:
        return checkBalances(request);
    case Command::ResetBalance:
        return resetBalance(request);
    case Command::RecomputeBalances:
        return recomputeBalances(request);
    }
    return 2;
}

}  // namespace cli
