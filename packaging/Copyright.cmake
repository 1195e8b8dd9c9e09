# The Debian copyright file: the MIT licence and what each set comes from.
file(READ ${LICENSE} license)
file(READ ${NOTICE} notice)
string(REGEX REPLACE "^MIT License\n\n" "" license "${license}")
string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
string(REGEX REPLACE "\n" "\n " license "${license}")
string(REGEX REPLACE "\n$" "" notice "${notice}")
string(REGEX REPLACE "\n\n" "\n.\n" notice "${notice}")
string(REGEX REPLACE "\n" "\n " notice "${notice}")
file(WRITE ${OUT} "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: norv-keys

Files: *
Copyright: The Norv Keys developers
License: MIT
Comment:
 ${notice}

License: MIT
 ${license}
")
