/* Answers the version query of libavutil with a major version the component does not take. */
unsigned avutil_version(void)
{
    return 56u << 16;
}
