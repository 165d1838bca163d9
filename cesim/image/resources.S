/* The compiled resources of a program image, where the device's loader
   finds them: between cesim_resources and cesim_resources_end. */
    .section .rodata
    .balign 4
    .globl cesim_resources
    .type cesim_resources, @object
cesim_resources:
    .incbin CESIM_RESOURCE_FILE
    .globl cesim_resources_end
cesim_resources_end:
    .section .note.GNU-stack,"",@progbits
