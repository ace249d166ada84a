#ifndef GSADMIN_BENCH_GENERAL_NOTES_H_
#define GSADMIN_BENCH_GENERAL_NOTES_H_

namespace gsadmin::bench {

// How the figures of groups (a) to (f) are taken, for bench/results.md.
extern const char kGeneralNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_GENERAL_NOTES_H_
