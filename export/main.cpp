// exportbat: writes the tables of the web database into per-table
// directories for the import program.
#include "rvmigrateexportbat.h"

int main(int argc, char** argv)
{
    RvMigrateExportBat bat;
    return bat.run(argc, argv);
}
