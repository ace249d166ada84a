#ifndef GSADMIN_APP_STANDARD_STREAMS_H_
#define GSADMIN_APP_STANDARD_STREAMS_H_

namespace gsadmin {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file or socket the client opens later takes one of them: the console
// would read datagrams as typed lines, or print into a database. Call first
// thing in main, before anything opens a descriptor.
void openClosedStandardStreams();

}  // namespace gsadmin

#endif  // GSADMIN_APP_STANDARD_STREAMS_H_
