// importbat: hands the tables of an export directory to the
// business-application server.
#include <csignal>

#include "rvmigrateimportbat.h"

int main(int argc, char** argv)
{
    // A peer that closes early must fail the exchange, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    RvMigrateImportBat app;
    return app.run(argc, argv);
}
