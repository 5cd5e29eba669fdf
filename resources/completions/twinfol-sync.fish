# fish completion for twinfol-sync: its options, the values some of them take, and for the rest
# folders and profile files (.twp). Installed as share/fish/vendor_completions.d/twinfol-sync.fish.

complete -c twinfol-sync -f
complete -c twinfol-sync -l no-add -d 'Do not add files and folders found only in the source'
complete -c twinfol-sync -l delete -d 'Delete files and folders found only in the target'
complete -c twinfol-sync -l no-subfolders -d 'Handle only the files directly inside the two folders'
complete -c twinfol-sync -l confirm -d 'Ask before each delete'
complete -c twinfol-sync -l yes -d 'Answer every delete question with Yes To All'
complete -c twinfol-sync -l trash -d 'Move deleted and replaced files to the Trash'
complete -c twinfol-sync -l ignore-hour-shift -d 'Take times exactly one hour apart for the same'
complete -c twinfol-sync -l trash-days -x -d 'Days the Trash keeps what runs put there'
complete -c twinfol-sync -l undo -x -a '(__fish_complete_directories (commandline -ct))' -d 'Undo the last run into a folder'
complete -c twinfol-sync -l exclude -r -F -d 'Leave a file or folder alone'
complete -c twinfol-sync -l direction -x -a '1to2 2to1' -d 'Direction of a profile run'
complete -c twinfol-sync -l max-delete -x -d 'Refuse a run that would delete more items'
complete -c twinfol-sync -s j -l jobs -x -d 'Copy, compare and delete with this many workers'
complete -c twinfol-sync -l allow-empty-source -d 'Run even when the source folder is empty'
complete -c twinfol-sync -s n -l dry-run -d 'Walk and report, changing nothing'
complete -c twinfol-sync -l plan -d 'Plan the whole run first, for totals and time left'
complete -c twinfol-sync -l no-plan -d 'Never plan first'
complete -c twinfol-sync -l json -d 'Print the report as JSON'
complete -c twinfol-sync -s q -l quiet -d 'No progress, and a report only when something went wrong'
complete -c twinfol-sync -s v -l verbose -d 'List each action as it happens'
complete -c twinfol-sync -l log-file -r -F -d 'Append the report to a file'
complete -c twinfol-sync -s h -l help -d 'Show the help and exit'
complete -c twinfol-sync -l version -d 'Print the version and exit'
# The two folders, or one profile: folders, and of the files only profiles.
complete -c twinfol-sync -n 'not string match -q -- "-*" (commandline -ct)' \
    -a '(__fish_complete_directories (commandline -ct)) (string match -- "*.twp*" (__fish_complete_path (commandline -ct)))'
