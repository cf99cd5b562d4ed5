// exportbat: writes the tables of the web database into per-table
// directories for the import program.
#include <malloc.h>

#include "rvmigrateexportbat.h"

int main(int argc, char** argv)
{
    // Each batch of rows is freed before the next one arrives: keep that
    // memory in the process rather than handing it back and asking again.
    mallopt(M_TRIM_THRESHOLD, 16 * 1024 * 1024);
    RvMigrateExportBat bat;
    return bat.run(argc, argv);
}
