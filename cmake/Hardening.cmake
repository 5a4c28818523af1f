# The hardening Debian's dpkg-buildflags adds to its packages (with
# hardening=+all): stack protector, fortified C library calls, read-only
# relocations bound at start (its format checks are in -Wall -Werror). The
# compiler builds position-independent executables by default, and Qt asks
# for them too. _FORTIFY_SOURCE needs the optimiser and is left to
# the sanitizers in their builds, where it would hide what they look for.
add_compile_options(-fstack-protector-strong)
if(NOT ZURAV3_SANITIZE AND NOT ZURAV3_FUZZ)
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>
                        $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
endif()
add_link_options(LINKER:-z,relro LINKER:-z,now)
