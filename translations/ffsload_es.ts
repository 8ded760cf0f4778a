<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>GridWindow</name>
    <message>
        <source>ffsload: station grid</source>
        <translation>ffsload: cuadrícula de la estación</translation>
    </message>
    <message>
        <source>&amp;Customer:</source>
        <translation>&amp;Cliente:</translation>
    </message>
    <message>
        <source>Sub-number:</source>
        <translation>Subnúmero:</translation>
    </message>
    <message>
        <source>Run &amp;all</source>
        <translation>Ejecutar &amp;todos</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Salir</translation>
    </message>
    <message>
        <source>&amp;Operator:</source>
        <translation>&amp;Operador:</translation>
    </message>
    <message>
        <source>scan your badge or type your id, Enter</source>
        <translation>escanee su gafete o escriba su ID, Enter</translation>
    </message>
    <message>
        <source>&lt;b&gt;Port %1&lt;/b&gt;&lt;br&gt;%2</source>
        <translation>&lt;b&gt;Puerto %1&lt;/b&gt;&lt;br&gt;%2</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Ejecutar</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Guardar</translation>
    </message>
    <message>
        <source>Y or N, or click:</source>
        <translation>Pulse Y o N, o haga clic:</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Sí (Y)</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No (N)</translation>
    </message>
    <message>
        <source>scan the unit, or type its serial and Enter</source>
        <translation>escanee la unidad, o escriba su número de serie y Enter</translation>
    </message>
    <message>
        <source>type the customer number and press Enter</source>
        <translation>escriba el número de cliente y pulse Enter</translation>
    </message>
    <message>
        <source>script %1, MA_NO &quot;%2&quot;</source>
        <translation>script %1, MA_NO &quot;%2&quot;</translation>
    </message>
    <message>
        <source>waiting for your answer</source>
        <translation>esperando su respuesta</translation>
    </message>
    <message>
        <source>running</source>
        <translation>en curso</translation>
    </message>
    <message>
        <source>elapsed %1 s</source>
        <translation>duración %1 s</translation>
    </message>
    <message>
        <source>runs %1   green %2   red %3</source>
        <translation>ejecuciones %1   verdes %2   rojas %3</translation>
    </message>
    <message>
        <source>Operator: %1</source>
        <translation>Operador: %1</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Error: %1</translation>
    </message>
    <message>
        <source>log saved to %1</source>
        <translation>registro guardado en %1</translation>
    </message>
    <message>
        <source>Error: cannot write the run log file %1: %2</source>
        <translation>Error: no se puede escribir el archivo de registro %1: %2</translation>
    </message>
    <message>
        <source>Closing: the runs under way stop after their current command (close again to end them at once)</source>
        <translation>Cerrando: las ejecuciones en curso se detienen tras su comando actual (cierre otra vez para terminarlas ya)</translation>
    </message>
    <message>
        <source>Closing: the ports&apos; processes are ending</source>
        <translation>Cerrando: los procesos de los puertos están terminando</translation>
    </message>
</context>
<context>
    <name>OperatorText</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Pending IMEI</source>
        <translation>IMEI pendiente</translation>
    </message>
    <message>
        <source>Fail to open file &lt;custdefine&gt;</source>
        <translation>No se puede abrir el archivo &lt;custdefine&gt;</translation>
    </message>
    <message>
        <source>Fail to open file</source>
        <translation>No se puede abrir el archivo</translation>
    </message>
    <message>
        <source>Fail to open file &lt;*.tms&gt;</source>
        <translation>No se puede abrir el archivo &lt;*.tms&gt;</translation>
    </message>
    <message>
        <source>Fail to write file &lt;%1&gt;: %2</source>
        <translation>No se puede escribir el archivo &lt;%1&gt;: %2</translation>
    </message>
    <message>
        <source>Fail to find the customer</source>
        <translation>No se encuentra el cliente</translation>
    </message>
    <message>
        <source>Fail to show the yield: %1</source>
        <translation>No se puede mostrar el rendimiento: %1</translation>
    </message>
    <message>
        <source>The station&apos;s settings stop the panels: %1</source>
        <translation>La configuración de la estación impide abrir los paneles: %1</translation>
    </message>
    <message>
        <source>This station requires the operator&apos;s id: scan your badge or type your id</source>
        <translation>Esta estación pide el ID del operador: escanee su gafete o escriba su ID</translation>
    </message>
    <message>
        <source>This station asks for unit serials (unit-serial in %1) but the panel file has no unit field (control %2)</source>
        <translation>Esta estación pide números de serie (unit-serial en %1) pero el archivo de paneles no tiene campo de unidad (control %2)</translation>
    </message>
    <message>
        <source>Scan the unit first: this station requires its serial</source>
        <translation>Primero escanee la unidad: esta estación pide su número de serie</translation>
    </message>
    <message>
        <source>Refused: %1; nothing runs. Scan again.</source>
        <translation>Rechazado: %1; no se ejecuta nada. Escanee otra vez.</translation>
    </message>
    <message>
        <source>unit %1</source>
        <translation>unidad %1</translation>
    </message>
    <message>
        <source>unit %1: attempt %2</source>
        <translation>unidad %1: intento %2</translation>
    </message>
    <message>
        <source>unit %1: attempt %2, passed before at %3 %4 UTC</source>
        <translation>unidad %1: intento %2, ya pasó el %3 a las %4 UTC</translation>
    </message>
    <message>
        <source>unit %1: attempt unknown (the records cannot be read)</source>
        <translation>unidad %1: intento desconocido (no se pueden leer los registros)</translation>
    </message>
    <message>
        <source>Port %1 is not a port from %2 to %3: the run cannot reach a handset</source>
        <translation>El puerto %1 no está entre %2 y %3: no se puede llegar al teléfono</translation>
    </message>
    <message>
        <source>Port %1: %2</source>
        <translation>Puerto %1: %2</translation>
    </message>
    <message>
        <source>Port %1 cannot be opened: %2</source>
        <translation>No se puede abrir el puerto %1: %2</translation>
    </message>
    <message>
        <source>cannot open port %1: %2</source>
        <translation>no se puede abrir el puerto %1: %2</translation>
    </message>
    <message>
        <source>port %1 is in use by another run in this station folder (%2): no run; wait for it to end</source>
        <translation>el puerto %1 lo usa otra ejecución en esta carpeta de estación (%2): no se ejecuta; espere a que termine</translation>
    </message>
    <message>
        <source>Run log saved to %1</source>
        <translation>Registro guardado en %1</translation>
    </message>
    <message>
        <source>Run log NOT saved</source>
        <translation>Registro NO guardado</translation>
    </message>
    <message>
        <source>check the fixture on port %1: %2 red runs in a row</source>
        <translation>revise el fixture del puerto %1: %2 ejecuciones rojas seguidas</translation>
    </message>
    <message>
        <source>failing line %1</source>
        <translation>línea que falla %1</translation>
    </message>
    <message>
        <source>the handset was formatted after its IMEI backup and the IMEI was not written back: it is only in the PC file %1; write it back before the handset leaves the station</source>
        <translation>el teléfono se formateó tras respaldar su IMEI y el IMEI no se reescribió: solo está en el archivo del PC %1; reescríbalo antes de que el teléfono salga de la estación</translation>
    </message>
    <message>
        <source>IMEI %1, pending since the run on port %2 stopped after the format, is on this handset: it had been written back</source>
        <translation>El IMEI %1, pendiente desde que la ejecución del puerto %2 se detuvo tras el formateo, está en este teléfono: ya se había reescrito</translation>
    </message>
    <message>
        <source>this handset has its own IMEI; IMEI %1 of the run on port %2 that stopped after the format stays pending and waits for its handset</source>
        <translation>este teléfono tiene su propio IMEI; el IMEI %1 de la ejecución del puerto %2 que se detuvo tras el formateo sigue pendiente y espera a su teléfono</translation>
    </message>
    <message>
        <source>IMEI %1 was pending for unit %2, which is this handset: it is this run&apos;s backup in %3, and the script&apos;s write-back gives it back</source>
        <translation>El IMEI %1 estaba pendiente para la unidad %2, que es este teléfono: es el respaldo de esta ejecución en %3 y la reescritura del script lo devuelve</translation>
    </message>
    <message>
        <source>IMEI %1 is kept aside: it is not this handset&apos;s; &quot;ffsload report --interrupted&quot; lists it</source>
        <translation>El IMEI %1 se guarda aparte: no es de este teléfono; &quot;ffsload report --interrupted&quot; lo lista</translation>
    </message>
    <message>
        <source>IMEI %1 is this run&apos;s backup in %2: the script&apos;s write-back gives it back</source>
        <translation>El IMEI %1 es el respaldo de esta ejecución en %2: la reescritura del script lo devuelve</translation>
    </message>
    <message>
        <source>IMEI %1 is pending on port %2: the run stopped after the format, before the write-back; it is kept in the run journal until its handset has it again</source>
        <translation>El IMEI %1 está pendiente en el puerto %2: la ejecución se detuvo tras el formateo, antes de la reescritura; se guarda en la bitácora hasta que su teléfono lo tenga de nuevo</translation>
    </message>
    <message>
        <source>the run journal cannot be written (%1): this run refuses to format the handset, so that its IMEI cannot be lost</source>
        <translation>no se puede escribir la bitácora de ejecuciones (%1): esta ejecución no formatea el teléfono, para que su IMEI no se pierda</translation>
    </message>
    <message>
        <source>%1: a pending IMEI may be hidden in it, so no IMEI read-back or format runs on this port until a line engineer has looked (&quot;ffsload pending&quot; lists it, &quot;ffsload pending --port %2 --resolve-damaged&quot; sets damaged lines aside)</source>
        <translation>%1: puede ocultar un IMEI pendiente, así que en este puerto no se lee IMEI ni se formatea hasta que lo revise un ingeniero de línea (&quot;ffsload pending&quot; lo lista, &quot;ffsload pending --port %2 --resolve-damaged&quot; aparta las líneas dañadas)</translation>
    </message>
    <message>
        <source>the run journal could not be tidied: %1</source>
        <translation>no se pudo ordenar la bitácora de ejecuciones: %1</translation>
    </message>
    <message>
        <source>the run journal cannot note the run&apos;s end: %1</source>
        <translation>la bitácora no puede anotar el fin de la ejecución: %1</translation>
    </message>
    <message>
        <source>the run journal cannot note the IMEI write-back: %1</source>
        <translation>la bitácora no puede anotar la reescritura del IMEI: %1</translation>
    </message>
    <message>
        <source>the run journal cannot note what became of a pending IMEI: %1</source>
        <translation>la bitácora no puede anotar qué pasó con un IMEI pendiente: %1</translation>
    </message>
    <message>
        <source>records: %1</source>
        <translation>registros: %1</translation>
    </message>
    <message>
        <source>records: %1 record(s) kept in %2 are now stored with the others</source>
        <translation>registros: %1 registro(s) guardado(s) en %2 ya están con los demás</translation>
    </message>
    <message>
        <source>records: %1; this run&apos;s record is kept in %2 and sent when the records can be written again</source>
        <translation>registros: %1; el registro de esta ejecución se guarda en %2 y se envía cuando se pueda escribir de nuevo</translation>
    </message>
    <message>
        <source>records: %1 record(s) refused by the records for what they hold are set aside in %2 (ffsload report counts them): %3</source>
        <translation>registros: %1 registro(s) rechazado(s) por su contenido quedan aparte en %2 (ffsload report los cuenta): %3</translation>
    </message>
    <message>
        <source>records: neither the records nor the outbox can take this run&apos;s record: %1; %2</source>
        <translation>registros: ni los registros ni la bandeja de salida aceptan el registro de esta ejecución: %1; %2</translation>
    </message>
    <message>
        <source>records: the run journal keeps this run&apos;s outcome, unit and IMEI, and the next run on port %1 records it (without its log)</source>
        <translation>registros: la bitácora guarda el resultado, la unidad y el IMEI de esta ejecución, y la próxima ejecución del puerto %1 lo registra (sin su registro de pasos)</translation>
    </message>
    <message>
        <source>records: this run&apos;s record is lost: the run journal cannot keep it either; free space on the disk</source>
        <translation>registros: el registro de esta ejecución se pierde: la bitácora tampoco puede guardarlo; libere espacio en el disco</translation>
    </message>
    <message>
        <source>cannot start the port&apos;s process: %1</source>
        <translation>no se puede iniciar el proceso del puerto: %1</translation>
    </message>
    <message>
        <source>no run: %1</source>
        <translation>sin ejecución: %1</translation>
    </message>
    <message>
        <source>the port&apos;s process %1; Run starts a new one</source>
        <translation>el proceso del puerto %1; Ejecutar inicia uno nuevo</translation>
    </message>
    <message>
        <source>the customer stays until the runs under way have ended</source>
        <translation>el cliente no cambia hasta que terminen las ejecuciones en curso</translation>
    </message>
    <message>
        <source>the operator stays until the runs under way have ended</source>
        <translation>el operador no cambia hasta que terminen las ejecuciones en curso</translation>
    </message>
    <message>
        <source>this station requires the operator&apos;s id: enter it above first</source>
        <translation>esta estación pide el ID del operador: escríbalo arriba primero</translation>
    </message>
    <message>
        <source>refused: %1; nothing runs</source>
        <translation>rechazado: %1; no se ejecuta nada</translation>
    </message>
    <message>
        <source>scan the unit first: this station requires its serial</source>
        <translation>primero escanee la unidad: esta estación pide su número de serie</translation>
    </message>
    <message>
        <source>First-pass and final yield since %1 (%2)</source>
        <translation>Rendimiento a la primera y final desde %1 (%2)</translation>
    </message>
    <message>
        <source>First-pass and final yield (%1)</source>
        <translation>Rendimiento a la primera y final (%1)</translation>
    </message>
    <message>
        <source>customer %1</source>
        <translation>cliente %1</translation>
    </message>
    <message>
        <source>unit %1, customer %2</source>
        <translation>unidad %1, cliente %2</translation>
    </message>
    <message>
        <source>%1 (run at %2)</source>
        <translation>%1 (ejecución del %2)</translation>
    </message>
    <message>
        <source>%1 (run at %2, unit %3)</source>
        <translation>%1 (ejecución del %2, unidad %3)</translation>
    </message>
    <message>
        <source>%1 (run at %2, customer %3)</source>
        <translation>%1 (ejecución del %2, cliente %3)</translation>
    </message>
    <message>
        <source>%1 (run at %2, unit %3, customer %4)</source>
        <translation>%1 (ejecución del %2, unidad %3, cliente %4)</translation>
    </message>
    <message>
        <source>the MES refused unit %1: %2</source>
        <translation>el MES rechazó la unidad %1: %2</translation>
    </message>
    <message>
        <source>the MES did not agree to unit %1: %2; the run goes on (cfx-validate = advisory)</source>
        <translation>el MES no aprobó la unidad %1: %2; la prueba sigue (cfx-validate = advisory)</translation>
    </message>
    <message>
        <source>the MES did not answer about unit %1: %2; the run goes on (cfx-validate = advisory)</source>
        <translation>el MES no respondió sobre la unidad %1: %2; la prueba sigue (cfx-validate = advisory)</translation>
    </message>
    <message>
        <source>the station is locked by the MES (%1): no run until it is unlocked</source>
        <translation>el MES bloqueó la estación (%1): no se prueba hasta que la desbloquee</translation>
    </message>
    <message>
        <source>the station is locked by the MES (%1, by %2): no run until it is unlocked</source>
        <translation>el MES bloqueó la estación (%1, por %2): no se prueba hasta que la desbloquee</translation>
    </message>
    <message>
        <source>CFX: %1 could not be queued for the factory network (%2); the run goes on without them</source>
        <translation>CFX: %1 no se pudieron poner en cola para la red de la fábrica (%2); la prueba sigue sin ellos</translation>
    </message>
    <message>
        <source>the run&apos;s start messages</source>
        <translation>los mensajes de inicio de la prueba</translation>
    </message>
    <message>
        <source>the run&apos;s end messages</source>
        <translation>los mensajes de fin de la prueba</translation>
    </message>
    <message>
        <source>the interrupted run&apos;s messages</source>
        <translation>los mensajes de la prueba interrumpida</translation>
    </message>
    <message>
        <source>CFX: the panels&apos; EndpointConnected could not be queued: %1</source>
        <translation>CFX: el EndpointConnected de los paneles no se pudo poner en cola: %1</translation>
    </message>
    <message>
        <source>an IMEI is pending in this station and this handset has none, and nobody said whether it is that handset: nothing was formatted. Run again and answer the question (on the command line: --pending-imei restore gives it the pending IMEI back, --pending-imei keep-aside keeps the IMEI aside)</source>
        <translation>hay un IMEI pendiente en esta estación, este teléfono no tiene ninguno y nadie dijo si es ese teléfono: no se formateó nada. Ejecute otra vez y responda la pregunta (en la línea de comandos: --pending-imei restore le devuelve el IMEI pendiente, --pending-imei keep-aside guarda el IMEI aparte)</translation>
    </message>
    <message>
        <source>%1 IMEIs are pending in this station and this handset has none, and nobody said which of them, if any, is its own: nothing was formatted. Pending: %2. Run again and answer each question (on the command line: --pending-imei restore=HEX gives this handset the IMEI HEX; &quot;ffsload pending&quot; lists them)</source>
        <translation>hay %1 IMEI pendientes en esta estación, este teléfono no tiene ninguno y nadie dijo cuál es el suyo, si alguno: no se formateó nada. Pendientes: %2. Ejecute otra vez y responda cada pregunta (en la línea de comandos: --pending-imei restore=HEX da a este teléfono el IMEI HEX; &quot;ffsload pending&quot; los lista)</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, but the IMEI named, %2, is pending for unit %3: nothing was formatted. Scan the handset&apos;s own serial, or name its own IMEI</source>
        <translation>este teléfono se escaneó como unidad %1, pero el IMEI indicado, %2, está pendiente para la unidad %3: no se formateó nada. Escanee el número de serie del propio teléfono o indique su propio IMEI</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending, but the answer names IMEI %3: nothing was formatted. Scan the handset&apos;s own serial, or name its own IMEI</source>
        <translation>este teléfono se escaneó como unidad %1, cuyo IMEI %2 está pendiente, pero la respuesta indica el IMEI %3: no se formateó nada. Escanee el número de serie del propio teléfono o indique su propio IMEI</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending from port %3, and the answer was that it is not that handset: IMEI %2 stays pending and nothing was formatted. Check the serial</source>
        <translation>este teléfono se escaneó como unidad %1, cuyo IMEI %2 está pendiente desde el puerto %3, y la respuesta fue que no es ese teléfono: el IMEI %2 sigue pendiente y no se formateó nada. Revise el número de serie</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending from port %3, and nobody confirmed that it is that handset: nothing was formatted. Run again and answer the question (on the command line: --pending-imei restore)</source>
        <translation>este teléfono se escaneó como unidad %1, cuyo IMEI %2 está pendiente desde el puerto %3, y nadie confirmó que sea ese teléfono: no se formateó nada. Ejecute otra vez y responda la pregunta (en la línea de comandos: --pending-imei restore)</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 stopped after the format, before IMEI %3 was written back. Is this that handset? Yes gives it IMEI %3 back. No keeps IMEI %3 aside for good: no handset gets it unless an engineer restores it.</source>
        <translation>La ejecución del puerto %1 del %2 se detuvo tras el formateo, antes de reescribir el IMEI %3. ¿Es este ese teléfono? Sí: le devuelve el IMEI %3. No: guarda el IMEI %3 aparte para siempre; ningún teléfono lo recibe salvo que un ingeniero lo restaure.</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 was written back. Is this that handset? Yes gives it IMEI %4 back. No keeps IMEI %4 aside for good: no handset gets it unless an engineer restores it.</source>
        <translation>La ejecución del puerto %1 del %2 (%3) se detuvo tras el formateo, antes de reescribir el IMEI %4. ¿Es este ese teléfono? Sí: le devuelve el IMEI %4. No: guarda el IMEI %4 aparte para siempre; ningún teléfono lo recibe salvo que un ingeniero lo restaure.</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 stopped after the format, before IMEI %3 was written back; it is one of %4 IMEIs pending in this station. Is this that handset? Yes gives it IMEI %3 back. No leaves IMEI %3 pending for its own handset.</source>
        <translation>La ejecución del puerto %1 del %2 se detuvo tras el formateo, antes de reescribir el IMEI %3; es uno de %4 IMEI pendientes en esta estación. ¿Es este ese teléfono? Sí: le devuelve el IMEI %3. No: deja el IMEI %3 pendiente para su propio teléfono.</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 was written back; it is one of %5 IMEIs pending in this station. Is this that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending for its own handset.</source>
        <translation>La ejecución del puerto %1 del %2 (%3) se detuvo tras el formateo, antes de reescribir el IMEI %4; es uno de %5 IMEI pendientes en esta estación. ¿Es este ese teléfono? Sí: le devuelve el IMEI %4. No: deja el IMEI %4 pendiente para su propio teléfono.</translation>
    </message>
    <message>
        <source>Unit %1 stopped on port %2 at %3 after the format, before IMEI %4 was written back; this handset, scanned as unit %1, is on port %5. Is it that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending and stops this run before the format.</source>
        <translation>La unidad %1 se detuvo en el puerto %2 el %3 tras el formateo, antes de reescribir el IMEI %4; este teléfono, escaneado como unidad %1, está en el puerto %5. ¿Es ese teléfono? Sí: le devuelve el IMEI %4. No: deja el IMEI %4 pendiente y detiene esta ejecución antes del formateo.</translation>
    </message>
    <message>
        <source>an earlier run&apos;s end messages, kept in the run journal</source>
        <translation>los mensajes de fin de una prueba anterior, guardados en la bitácora</translation>
    </message>
    <message>
        <source>CFX: the run journal keeps this run&apos;s end messages, and the next run on port %1 queues them</source>
        <translation>CFX: la bitácora guarda los mensajes de fin de esta prueba, y la próxima prueba del puerto %1 los pone en cola</translation>
    </message>
    <message>
        <source>CFX: this run&apos;s end messages are lost: the run journal cannot keep them either; free space on the disk</source>
        <translation>CFX: los mensajes de fin de esta prueba se pierden: la bitácora tampoco puede guardarlos; libere espacio en el disco</translation>
    </message>
    <message>
        <source>CFX: the sender %1 is missing; the messages wait in the station&apos;s queue</source>
        <translation>CFX: falta el emisor %1; los mensajes esperan en la cola de la estación</translation>
    </message>
    <message>
        <source>CFX: the sender cannot run (%1); the messages wait in the station&apos;s queue and it is tried again</source>
        <translation>CFX: el emisor no puede funcionar (%1); los mensajes esperan en la cola de la estación y se vuelve a intentar</translation>
    </message>
    <message>
        <source>CFX: the sender stopped (%1) and is started again; the messages wait in the station&apos;s queue</source>
        <translation>CFX: el emisor se detuvo (%1) y se inicia de nuevo; los mensajes esperan en la cola de la estación</translation>
    </message>
</context>
<context>
    <name>PanelFile</name>
    <message>
        <source>ffsload panels</source>
        <translation>Paneles de ffsload</translation>
    </message>
    <message>
        <source>ffsload: customer and port</source>
        <translation>ffsload: cliente y puerto</translation>
    </message>
    <message>
        <source>&amp;Customer number</source>
        <translation>Número de &amp;cliente</translation>
    </message>
    <message>
        <source>S&amp;ub-number</source>
        <translation>S&amp;ubnúmero</translation>
    </message>
    <message>
        <source>&amp;Port (1 to 8)</source>
        <translation>&amp;Puerto (1 a 8)</translation>
    </message>
    <message>
        <source>&amp;Open the run panel</source>
        <translation>&amp;Abrir el panel de ejecución</translation>
    </message>
    <message>
        <source>&amp;Operator id</source>
        <translation>&amp;ID de operador</translation>
    </message>
    <message>
        <source>scan your badge, or type your id and Enter</source>
        <translation>escanee su gafete o escriba su ID</translation>
    </message>
    <message>
        <source>Enter confirms a field and moves to the next; Enter on the port opens the run panel.</source>
        <translation>Enter confirma un campo y pasa al siguiente; Enter en el puerto abre el panel de ejecución.</translation>
    </message>
    <message>
        <source>ffsload: run</source>
        <translation>ffsload: ejecución</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Puerto:</translation>
    </message>
    <message>
        <source>Script:</source>
        <translation>Script:</translation>
    </message>
    <message>
        <source>MA_NO:</source>
        <translation>MA_NO:</translation>
    </message>
    <message>
        <source>Operator:</source>
        <translation>Operador:</translation>
    </message>
    <message>
        <source>&amp;Unit serial:</source>
        <translation>N.º de serie de la &amp;unidad:</translation>
    </message>
    <message>
        <source>scan the unit, or type its serial and Enter</source>
        <translation>escanee la unidad, o escriba su número de serie y Enter</translation>
    </message>
    <message>
        <source>Line:</source>
        <translation>Línea:</translation>
    </message>
    <message>
        <source>Seconds:</source>
        <translation>Segundos:</translation>
    </message>
    <message>
        <source>&amp;Run</source>
        <translation>&amp;Ejecutar</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Guardar</translation>
    </message>
    <message>
        <source>&amp;Yield</source>
        <translation>&amp;Rendimiento</translation>
    </message>
    <message>
        <source>First-pass yield of this station&apos;s runs, the last 14 days</source>
        <translation>Rendimiento a la primera de esta estación, últimos 14 días</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Salir</translation>
    </message>
    <message>
        <source>The last run&apos;s result: RUNNING, PASS or FAIL</source>
        <translation>Resultado de la última prueba: EN CURSO, PASA o FALLA</translation>
    </message>
</context>
<context>
    <name>ReportWindow</name>
    <message>
        <source>Day</source>
        <translation>Día</translation>
    </message>
    <message>
        <source>Customer</source>
        <translation>Cliente</translation>
    </message>
    <message>
        <source>Runs</source>
        <translation>Ejecuciones</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Unidades</translation>
    </message>
    <message>
        <source>First-pass yield</source>
        <translation>Rendimiento a la primera</translation>
    </message>
    <message>
        <source>Final yield</source>
        <translation>Rendimiento final</translation>
    </message>
    <message>
        <source>Most frequent failing line</source>
        <translation>Línea que más falla</translation>
    </message>
    <message>
        <source>line %1: %2 (%3 times)</source>
        <translation>línea %1: %2 (%3 veces)</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>First-pass and final yield per day</source>
        <translation>Rendimiento a la primera y final por día</translation>
    </message>
    <message>
        <source>no runs</source>
        <translation>sin ejecuciones</translation>
    </message>
    <message>
        <source>final yield</source>
        <translation>rendimiento final</translation>
    </message>
    <message>
        <source>customer</source>
        <translation>cliente</translation>
    </message>
</context>
<context>
    <name>RunState</name>
    <message>
        <source>RUNNING</source>
        <translation>EN CURSO</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>PASA</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>FALLA</translation>
    </message>
</context>
<context>
    <name>ffsload::MessageBox</name>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
</context>
<context>
    <name>ffsload::YesNoBox</name>
    <message>
        <source>Click Yes or No, or press Y or N. Enter alone does nothing.</source>
        <translation>Haga clic en Sí o No, o pulse Y o N. Enter solo no hace nada.</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>Sí (&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>No (&amp;N)</translation>
    </message>
</context>
</TS>
