// Steps of a save of all rows of a layout or all columns of a row: insert
// the entries not stored yet, update the stored ones still listed, delete
// the stored ones no longer listed.
#ifndef RVDBSAVEOPTIONS_H
#define RVDBSAVEOPTIONS_H

struct RvDbSaveOptions {
    RvDbSaveOptions() : insert(0), update(0), del(0) {}
    RvDbSaveOptions(bool ins, bool upd, bool dl) : insert(ins), update(upd), del(dl) {}

    unsigned char insert;
    unsigned char update;
    unsigned char del;
};

#endif
