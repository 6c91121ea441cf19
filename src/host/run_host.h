// run_host: the host's whole life, one message in and one reply out.
#pragma once

namespace quarn::host {

// Reads one native message from standard input, answers it on standard output and returns. A
// message that is too long or cut short gets no reply. Arguments given by the browser are not
// looked at.
void run_host();

}  // namespace quarn::host
